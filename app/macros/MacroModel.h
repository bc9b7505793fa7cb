// Macros: named lists of key events with delays, kept in the store apart from profiles and
// bound to keys by assignments of type 3. The keyboard plays them itself; this is the data side:
// limits, the built-in shortcuts, the delay byte the keyboard reads, and the operations behind
// the macro page.
//
// An event is a MacroItemRecord: type 2 key down or 3 key up (other types are kept but never
// sent), the Windows virtual-key code in `value` (left variants 160, 162, 164 for Shift, Ctrl,
// Alt), and in `delayTime` the pause after it, 0..31000 ms.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/store/DataStore.h"

namespace kl {

constexpr int kMacroEventDown = 2;
constexpr int kMacroEventUp = 3;
constexpr int kMaxMacroDelay = 31000;
constexpr int kMinPlayTimes = 1;
constexpr int kMaxPlayTimes = 99;
constexpr int kMaxFixedDelay = 9999;  // the page's fixed-delay field holds four digits
constexpr int kMaxUniqueNumber = 1000;

// How recording fills the delays (t_macro_data.delay_type).
enum DelayPolicy : int { kDelayMeasured = 1, kDelayNone = 2, kDelayFixed = 3 };

// Events a recording may hold: 60 on the 300 series, 80 on the others.
int MacroEventLimit(int deviceType);

// One event of a built-in shortcut: HID usage and direction.
struct ShortcutEvent {
  uint8_t usage;
  bool down;
};
// The fixed sequence of built-in shortcut 1..15; empty for any other value.
std::span<const ShortcutEvent> BuiltInShortcut(int value);

// The one-byte delay of the 200- and 300-series event encoding:
//   t (ms, clamped to 0..31000)  byte
//   0..10                        0x01
//   11..310                      t / 10            (unit 10 ms)
//   311..1550                    0x20 | t / 50     (unit 50 ms)
//   1551..3100                   0x40 | t / 100    (unit 100 ms)
//   3101..31000                  0x60 | t / 1000   (unit 1 s)
// Bit 7 marks a key-up event.
uint8_t DelayByte(int delayMs, bool keyUp);

// "<base> 1", "<base> 2", ...: the first that is none of `taken`; after 1000 tries the last one.
std::wstring MakeUniqueName(std::wstring_view base, const std::vector<std::wstring>& taken);

// A stored macro name as the current interface language shows it (default names carry the
// language's word for macro, text 331).
std::wstring MacroDisplayName(std::wstring_view storedName);

enum class NameCheck { Accepted, ForbiddenWord, Empty, StoreFailed };

class MacroModel {
 public:
  struct Item {
    int macroId;
    std::wstring text;  // display name
  };

  explicit MacroModel(DataStore& store) : m_store(store) {}

  // Reads every macro in store order.
  int Load();
  const std::vector<Item>& Items() const { return m_items; }

  // A new empty macro named "<text 331> n"; its id, 0 on failure.
  int CreateMacro();
  // A copy with every event, named "<name> - n"; its id, 0 on failure.
  int CopyMacro(int macroId);
  // Forbidden words and empty names are refused and the stored name stays. The assignments that
  // bind the macro show the new name too.
  NameCheck RenameMacro(int macroId, std::wstring_view name);
  // Removes the macro, its events and every assignment that binds it, in one transaction.
  // `unbound` receives those assignments so the keyboard's copies can be reset.
  bool DeleteMacro(int macroId, std::vector<KeyAssignmentRecord>& unbound);
  // Play count is clamped to 1..99, an unknown policy becomes "measured", the fixed delay is
  // clamped to 0..9999.
  bool SavePlaySettings(int macroId, int playTimes, int delayType, int fixedDelay);
  // Replaces the events; record_index is the position in `events`.
  bool SaveEvents(int macroId, std::vector<MacroItemRecord> events);
  int ReadEvents(int macroId, std::vector<MacroItemRecord>& events);

 private:
  std::vector<std::wstring> ItemTexts() const;
  DataStore& m_store;
  std::vector<Item> m_items;
};

}  // namespace kl
