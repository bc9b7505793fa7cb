// The vocabulary of key functions: key codes, the assignment types kept in t_key_macro_data and
// what their value fields hold, the built-in function lists with their language texts, the key
// tips, the keys that cannot be reassigned, and the conversions to key codes and names.
//
// Key codes are USB HID keyboard usages (4 = A ... 231 = right GUI), 175 for the Fn key and
// 232..249 for the media and launch functions.
//
// Assignment types (macro_type) and their fields:
//   type  function                         macro_value                       macro_desc
//   0     default (saving it removes row)  0                                 empty
//   1     key disabled                     1                                 text 202
//   2     another key / media function     key code below 500                palette label
//   3     macro                            macro_id                          macro name
//   5     function of list 5               list value                        list text
//   6     media function of list 6         list value                        list text
//   7     built-in shortcut                1..15                             list text
//   8     open a file or program           t_key_otherdata id (param = path) description
//   9     open a web page                  t_key_otherdata id                description
//   10    type a text                      t_key_otherdata id                description
//   11    switch to a profile              t_key_otherdata id (param = id)   description
//   12    palette item numbered 500 or up  item id                           item label
// macro_value2 of type 2 is a modifier mask (1 Ctrl, 2 Shift, 4 Alt, 8 Win) that the pages
// always write as 0; macro_value3 is always 0 in what the program creates.
#pragma once
#include <set>
#include <span>
#include <string>

#include "app/store/StoreRecords.h"

namespace kl {

enum AssignmentType : int {
  kAssignDefault = 0,
  kAssignDisabled = 1,
  kAssignKey = 2,
  kAssignMacro = 3,
  kAssignList5 = 5,
  kAssignMedia = 6,
  kAssignShortcut = 7,
  kAssignOpenFile = 8,
  kAssignOpenWeb = 9,
  kAssignTypeText = 10,
  kAssignSwitchProfile = 11,
  kAssignPaletteItem = 12,
};

constexpr int kKeyCodeFn = 175;
constexpr int kKeyCodeKeypad0 = 98;
constexpr int kTextKeyDisabled = 202;  // description of a disabled key

// A value of a built-in function list and the language text that names it.
struct FunctionListEntry {
  int value;
  int textId;
};

// Media and launch functions of the palette: key code and the text describing it.
std::span<const FunctionListEntry> MediaFunctionTexts();
// List 5: values 1, 2, 3, 7, 8.
std::span<const FunctionListEntry> FunctionList5();
// List 6: media functions 1..7 (play/pause, stop, previous, next, volume up, volume down, mute).
std::span<const FunctionListEntry> FunctionList6();
// List 7: built-in shortcuts 1..15, texts 701..715.
std::span<const FunctionListEntry> FunctionList7();

// The language text of the tip shown beside a key with an assignment of this type, 0 for none.
int KeyTipTextId(int macroType);

// Fn and keypad 0 never change; on the Fn layer neither do the keys the layout locks.
bool IsUnchangeableKey(int keyCode, int layer, const std::set<int>& fnLockedKeys);

// A Windows virtual-key code as a key code, 0 for codes the keyboard has no key for.
int VirtualKeyToKeyCode(int virtualKey);
// The display name of a key code, empty for codes without one.
std::wstring KeyCodeName(int keyCode);
// The text shown for an assignment, in the current interface language.
std::wstring AssignmentText(const KeyAssignmentRecord& assignment);

}  // namespace kl
