// The bytes that carry a macro or a built-in shortcut into the keyboard, for each series, and
// the 100 series' key table. Building them is pure: the uploads read the store and send.
//
// Events (only rows of type 2 key down and 3 key up are sent; usage = the low byte of the
// key code of the event's virtual key; d = the pause after the event, 0..31000 ms):
//
// | series   | bytes | key down                            | key up                               |
// |----------|-------|-------------------------------------|--------------------------------------|
// | 100      | 3     | usage, d & FF, (d >> 8) | 80        | usage, (d & FF) | 80, (d >> 8) & 7F  |
// | 200, 300 | 2     | usage, DelayByte(d)                 | usage, DelayByte(d) | 80             |
//
// A built-in shortcut pauses 10 ms after each event on the 200 and 300 series (usage 01 /
// usage 81) and 100 ms on the 100 series (usage 64 80 / usage 64 00).
//
// Whatever a macro holds, a block never claims more events than it carries: the events that
// do not fit are left out and the count says how many were written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/device/Protocol.h"
#include "app/store/DataStore.h"

namespace kl {

// 300 series: three 54-byte pieces.
//   0 layer + 1 | 1 key code | 2 play count | 3 event count | 4.. 2-byte events
constexpr size_t kKeyBlock300Bytes = 162;
constexpr size_t kKeyBlock300Events = (kKeyBlock300Bytes - 4) / 2;  // 79
// 200 series: 28 feature reports of 6 bytes.
//   0 1 | 1 slot | 2 key code | 3 play count | 4.. 2-byte events
constexpr size_t kKeyBlock200Bytes = 168;
constexpr size_t kKeyBlock200Events = (kKeyBlock200Bytes - 4) / 2;  // 82
// 100 series: 0 play count | 1 event count | 2.. 3-byte events; the count is one byte.
constexpr size_t kMacroBlock100Bytes = 1200;
constexpr size_t kMacroBlock100Events = 255;
// 100 series key table: 180 two-byte entries by layout key index, of which the keyboard takes
// the first 240 bytes (entries 0..119).
constexpr int kKeyTable100Entries = 180;
constexpr size_t kKeyTable100Bytes = 2 * kKeyTable100Entries;
constexpr size_t kKeyTable100SentBytes = 240;

struct KeyEvent {
  uint8_t usage = 0;
  bool up = false;
  int delayMs = 0;
};

// What a macro or shortcut key plays.
struct KeyMacro {
  bool shortcut = false;
  bool readable = false;  // false when the macro cannot be read
  int playTimes = 0;      // 0 when the macro cannot be read; 1 for a shortcut
  std::vector<KeyEvent> events;
};

// The events of an assignment of type 3 (the macro `value`) or 7 (the built-in shortcut
// `value`). A shortcut outside 1..15 and every other type play nothing.
KeyMacro ReadKeyMacro(DataStore& store, int macroType, int value);

using KeyBlock300 = std::array<uint8_t, kKeyBlock300Bytes>;
using KeyBlock200 = std::array<uint8_t, kKeyBlock200Bytes>;

KeyBlock300 BuildKeyBlock300(int layer, int keyCode, const KeyMacro& macro);
// The three commands (wire bytes 1..64) that carry a 300-series block: magic, piece number
// 0..2 as the code, 54 block bytes from wire byte 6.
std::array<Command, 3> KeyBlockCommands300(const KeyBlock300& block);

// With `carriesKey` false only bytes 0 and 1 are set: sent like that, the block frees the slot.
// A macro that cannot be read leaves bytes 2 and 3 at 0.
KeyBlock200 BuildKeyBlock200(int slot, int keyCode, bool carriesKey, const KeyMacro& macro);
// The 28 feature reports: 07 F1 (first) or 07 00, then 6 block bytes.
std::vector<Report> KeyBlockReports200(const KeyBlock200& block);

// A 100-series macro as the 0x8E pieces that carry it to `slot`:
//   0 00 | 1 8E | 2 59, or T - 60L in the last | 3..4 offset 59k (LE) | 5 slot | 6.. 59 bytes
// with n events, T = 3n + 3 and L = T / 60 (L + 1 pieces).
std::vector<Report> MacroReports100(int slot, const KeyMacro& macro);
// A 100-series shortcut in one 0x8E report: 2 3c | 5 slot | 6 play once | 7 c | 8.. events.
Report ShortcutReport100(int slot, const KeyMacro& macro);

// The 100-series key table entry of an assignment; `macroSlot` is the slot its macro or
// shortcut was sent to, -1 for none.
//
// | assignment                          | entry                |
// |-------------------------------------|----------------------|
// | type 1 (disabled)                   | 00 20                |
// | type 2, key code 1..255             | code 20              |
// | type 3 or 7 with a slot             | slot 40              |
// | anything else (or a code above 255) | 00 00 (default)      |
std::array<uint8_t, 2> KeyTableEntry100(int macroType, int macroValue, int macroSlot);
// The four 0x8D reports: chunk lengths 60, 60, 60, 40 at offsets 0, 60, 120, 180; each
// carries 60 table bytes from byte 5.
std::array<Report, 4> KeyTableReports100(const std::array<uint8_t, kKeyTable100Bytes>& table);

}  // namespace kl
