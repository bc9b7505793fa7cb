#include "app/keys/KeyCatalog.h"

#include <array>
#include <utility>

#include "app/LanguageTexts.h"
#include "app/Startup.h"

namespace kl {

namespace {

constexpr FunctionListEntry kMediaTexts[] = {
    {232, 272}, {233, 235}, {234, 234}, {235, 236}, {236, 231}, {237, 232}, {238, 230}, {239, 233}, {240, 271},
    {241, 273}, {242, 270}, {243, 276}, {244, 277}, {245, 275}, {246, 274}, {247, 279}, {248, 278}, {249, 252},
};

constexpr FunctionListEntry kList5[] = {{1, 220}, {2, 222}, {3, 223}, {7, 227}, {8, 228}};

constexpr FunctionListEntry kList6[] = {{1, 230}, {2, 231}, {3, 232}, {4, 233}, {5, 234}, {6, 235}, {7, 236}};

constexpr FunctionListEntry kList7[] = {
    {1, 701},  {2, 702},  {3, 703},  {4, 704},  {5, 705},  {6, 706},  {7, 707},  {8, 708},
    {9, 709},  {10, 710}, {11, 711}, {12, 712}, {13, 713}, {14, 714}, {15, 715},
};

// Virtual keys that do not follow one of the contiguous ranges handled in VirtualKeyToKeyCode.
constexpr std::pair<int, int> kSingleVirtualKeys[] = {
    {0x30, 39},  {0x0D, 40},  {0x1B, 41},  {0x08, 42},  {0x09, 43},  {0x20, 44},  {0xBD, 45},  {0xBB, 46},
    {0xDB, 47},  {0xDD, 48},  {0xDC, 49},  {666, 50},   {0xBA, 51},  {0xDE, 52},  {0xC0, 53},  {0xBC, 54},
    {0xBE, 55},  {0xBF, 56},  {0x14, 57},  {0x2C, 70},  {0x91, 71},  {0x13, 72},  {0x2D, 73},  {0x24, 74},
    {0x21, 75},  {0x2E, 76},  {0x23, 77},  {0x22, 78},  {0x27, 79},  {0x25, 80},  {0x28, 81},  {0x26, 82},
    {0x90, 83},  {0x6F, 84},  {0x6A, 85},  {0x6D, 86},  {0x6B, 87},  {0x6C, 88},  {0x60, 98},  {0x6E, 99},
    {0xA2, 224}, {0xA0, 225}, {0xA4, 226}, {0x5B, 227}, {0xA3, 228}, {0xA1, 229}, {0xA5, 230}, {0x5C, 231},
    {0x5D, 101}, {0xE2, 100}, {0xFE, 175}, {0xAD, 235}, {0xAE, 233}, {0xAF, 234}, {0xB0, 239}, {0xB1, 237},
    {0xB2, 236}, {0xB3, 238}, {0xA6, 243}, {0xA7, 244}, {0xA8, 246}, {0xA9, 245}, {0xAA, 247}, {0xAB, 248},
    {0xAC, 241}, {0xB6, 249}, {0xB7, 242}, {0xB4, 240}, {0xB5, 232},
};

// Names of the key codes that are not letters, digits or function keys. "PASE" and the lower
// case "backspace" are the names users have always seen; keep them.
constexpr std::pair<int, const wchar_t*> kKeyNames[] = {
    {39, L"0"},      {40, L"ENTER"},    {41, L"ESC"},    {42, L"backspace"}, {43, L"TAB"},     {44, L"SPACE"},
    {45, L"-_"},     {46, L"+="},       {47, L"[{"},     {48, L"]}"},        {49, L"\\"},      {51, L";:"},
    {52, L"'"},      {53, L"~`"},       {54, L"<,"},     {55, L">."},        {56, L"/?"},      {57, L"CAPS"},
    {70, L"PRTSC"},  {71, L"SCRLK"},    {72, L"PASE"},   {73, L"INS"},       {74, L"HOME"},    {75, L"PG UP"},
    {76, L"DEL"},    {77, L"END"},      {78, L"PG DN"},  {79, L"RIGHT"},     {80, L"LEFT"},    {81, L"DOWN"},
    {82, L"UP"},     {83, L"NumLock"},  {84, L"/"},      {85, L"*"},         {86, L"-"},       {87, L"+"},
    {88, L"Enter"},  {98, L"0"},        {99, L"."},      {101, L"MENU"},     {175, L"FN"},     {224, L"CTRL"},
    {225, L"SHIFT"}, {226, L"ALT"},     {227, L"WIN"},   {228, L"RCTRL"},    {229, L"RSHIFT"}, {230, L"RALT"},
};

int ListText(std::span<const FunctionListEntry> list, int value) {
  for (const FunctionListEntry& entry : list)
    if (entry.value == value) return entry.textId;
  return 0;
}

}  // namespace

std::span<const FunctionListEntry> MediaFunctionTexts() { return kMediaTexts; }
std::span<const FunctionListEntry> FunctionList5() { return kList5; }
std::span<const FunctionListEntry> FunctionList6() { return kList6; }
std::span<const FunctionListEntry> FunctionList7() { return kList7; }

int KeyTipTextId(int macroType) {
  switch (macroType) {
    case kAssignDisabled: return kTextKeyDisabled;
    case kAssignKey:
    case kAssignPaletteItem: return 205;
    case kAssignMacro: return 206;
    case kAssignList5: return 207;
    case kAssignMedia: return 208;
    case kAssignShortcut: return 209;
    case kAssignOpenFile: return 210;
    case kAssignOpenWeb: return 211;
    case kAssignTypeText: return 212;
    default: return 0;
  }
}

bool IsUnchangeableKey(int keyCode, int layer, const std::set<int>& fnLockedKeys) {
  if (keyCode == kKeyCodeFn || keyCode == kKeyCodeKeypad0) return true;
  return layer == 1 && fnLockedKeys.count(keyCode) != 0;
}

int VirtualKeyToKeyCode(int vk) {
  if (vk >= 0x41 && vk <= 0x5A) return vk - 61;          // A..Z -> 4..29
  if (vk >= 0x31 && vk <= 0x39) return vk - 19;          // 1..9 -> 30..38
  if (vk >= 0x70 && vk <= 0x7B) return vk - 0x70 + 58;   // F1..F12
  if (vk >= 0x7C && vk <= 0x87) return vk - 0x7C + 104;  // F13..F24
  if (vk >= 0x61 && vk <= 0x69) return vk - 0x61 + 89;   // keypad 1..9
  if (vk >= 0x88 && vk <= 0x8B) return vk;               // passed through unchanged
  for (const auto& [virtualKey, code] : kSingleVirtualKeys)
    if (virtualKey == vk) return code;
  return 0;
}

std::wstring KeyCodeName(int code) {
  if (code >= 4 && code <= 29) return std::wstring(1, static_cast<wchar_t>(L'A' + code - 4));
  if (code >= 30 && code <= 38) return std::wstring(1, static_cast<wchar_t>(L'1' + code - 30));
  if (code >= 89 && code <= 97) return std::wstring(1, static_cast<wchar_t>(L'1' + code - 89));
  if (code >= 58 && code <= 69) return L"F" + std::to_wstring(code - 57);
  for (const auto& [key, name] : kKeyNames)
    if (key == code) return name;
  return {};
}

std::wstring AssignmentText(const KeyAssignmentRecord& assignment) {
  switch (assignment.macroType) {
    case kAssignMacro:
      return RelabelDefaultName(assignment.macroDesc, CurrentLanguage(), DefaultName::Macro,
                                GetText(kTextSection, 331));
    case kAssignList5:
      if (const int text = ListText(kList5, assignment.macroValue)) return GetText(kTextSection, text);
      return assignment.macroDesc;
    case kAssignShortcut:
      // A value outside the list has no text of its own; show what was stored.
      if (const int text = ListText(kList7, assignment.macroValue)) return GetText(kTextSection, text);
      return assignment.macroDesc;
    default: return assignment.macroDesc;
  }
}

}  // namespace kl
