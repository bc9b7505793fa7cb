#include "app/uploads/KeyBlocks.h"

#include <algorithm>

#include "app/keys/KeyCatalog.h"
#include "app/macros/MacroModel.h"

namespace kl {

namespace {

constexpr int kShortcutDelayMs = 10;  // 200 and 300 series
constexpr size_t kPieceBytes = 54;    // 300-series block piece
constexpr size_t kFeatureBytes = 6;   // 200-series block bytes per feature report
constexpr size_t kPiece100Bytes = 59;
constexpr size_t kTableChunkBytes = 60;

uint8_t Byte(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

// Writes the 2-byte events of the 200 and 300 series from `at`; returns how many fit.
size_t PutEvents2(uint8_t* at, size_t room, const KeyMacro& macro) {
  const size_t count = std::min(macro.events.size(), room / 2);
  for (size_t i = 0; i < count; ++i) {
    const KeyEvent& e = macro.events[i];
    at[2 * i] = e.usage;
    at[2 * i + 1] = DelayByte(e.delayMs, e.up);
  }
  return count;
}

// The 3-byte event of the 100 series.
void PutEvent3(uint8_t* at, const KeyEvent& e, bool shortcut) {
  at[0] = e.usage;
  if (shortcut) {
    at[1] = 0x64;
    at[2] = e.up ? 0x00 : 0x80;
    return;
  }
  const int d = std::clamp(e.delayMs, 0, kMaxMacroDelay);
  if (e.up) {
    at[1] = static_cast<uint8_t>((d & 0xFF) | 0x80);
    at[2] = static_cast<uint8_t>((d >> 8) & 0x7F);
  } else {
    at[1] = static_cast<uint8_t>(d & 0xFF);
    at[2] = static_cast<uint8_t>(((d >> 8) & 0xFF) | 0x80);
  }
}

}  // namespace

KeyMacro ReadKeyMacro(DataStore& store, int macroType, int value) {
  KeyMacro macro;
  if (macroType == kAssignShortcut) {
    macro.shortcut = true;
    macro.readable = true;
    macro.playTimes = 1;
    for (const ShortcutEvent& s : BuiltInShortcut(value)) macro.events.push_back({s.usage, !s.down, kShortcutDelayMs});
    return macro;
  }
  if (macroType != kAssignMacro) return macro;
  MacroRecord record;
  if (store.ReadMacro(value, record)) {
    macro.readable = true;
    macro.playTimes = record.playTimes;
  }
  std::vector<MacroItemRecord> steps;
  store.ListMacroSteps(value, steps);
  for (const MacroItemRecord& step : steps) {
    if (step.type != kMacroEventDown && step.type != kMacroEventUp) continue;
    const uint8_t usage = static_cast<uint8_t>(VirtualKeyToKeyCode(step.value) & 0xFF);
    macro.events.push_back({usage, step.type == kMacroEventUp, step.delayTime});
  }
  return macro;
}

KeyBlock300 BuildKeyBlock300(int layer, int keyCode, const KeyMacro& macro) {
  KeyBlock300 block{};
  block[0] = Byte(layer + 1);
  block[1] = Byte(keyCode);
  block[2] = Byte(macro.playTimes);
  block[3] = static_cast<uint8_t>(PutEvents2(block.data() + 4, block.size() - 4, macro));
  return block;
}

std::array<Command, 3> KeyBlockCommands300(const KeyBlock300& block) {
  std::array<Command, 3> pieces{};
  for (size_t k = 0; k < pieces.size(); ++k) {
    pieces[k] = MakeCommand300(static_cast<uint8_t>(k));
    std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(kPieceBytes * k), kPieceBytes, pieces[k].begin() + 5);
  }
  return pieces;
}

KeyBlock200 BuildKeyBlock200(int slot, int keyCode, bool carriesKey, const KeyMacro& macro) {
  KeyBlock200 block{};
  block[0] = 1;
  block[1] = Byte(slot);
  if (!carriesKey) return block;
  if (macro.readable) {
    block[2] = Byte(keyCode);
    block[3] = Byte(macro.playTimes);
  }
  PutEvents2(block.data() + 4, block.size() - 4, macro);
  return block;
}

std::vector<Report> KeyBlockReports200(const KeyBlock200& block) {
  std::vector<Report> reports(kKeyBlock200Bytes / kFeatureBytes);
  for (size_t i = 0; i < reports.size(); ++i) {
    reports[i][0] = 0x07;
    reports[i][1] = i == 0 ? 0xF1 : 0x00;
    std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(kFeatureBytes * i), kFeatureBytes, reports[i].begin() + 2);
  }
  return reports;
}

std::vector<Report> MacroReports100(int slot, const KeyMacro& macro) {
  std::array<uint8_t, kMacroBlock100Bytes> block{};
  const size_t n = std::min(macro.events.size(), kMacroBlock100Events);
  block[0] = Byte(std::clamp(macro.playTimes, 1, 255));
  block[1] = static_cast<uint8_t>(n);
  for (size_t i = 0; i < n; ++i) PutEvent3(block.data() + 2 + 3 * i, macro.events[i], macro.shortcut);

  const size_t total = 3 * n + 3;
  const size_t last = total / 60;
  std::vector<Report> reports(last + 1);
  for (size_t k = 0; k <= last; ++k) {
    const size_t offset = kPiece100Bytes * k;  // at most 59 * 12 + 58 < 1200
    Report& r = reports[k];
    r[1] = 0x8E;
    r[2] = static_cast<uint8_t>(k == last ? total - 60 * last : kPiece100Bytes);
    r[3] = static_cast<uint8_t>(offset & 0xFF);
    r[4] = static_cast<uint8_t>(offset >> 8);
    r[5] = Byte(slot);
    std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(offset), kPiece100Bytes, r.begin() + 6);
  }
  return reports;
}

Report ShortcutReport100(int slot, const KeyMacro& macro) {
  Report r{};
  const size_t room = (r.size() - 8) / 3;
  const size_t c = std::min(macro.events.size(), room);
  r[1] = 0x8E;
  r[2] = static_cast<uint8_t>(3 * c);
  r[5] = Byte(slot);
  r[6] = 1;
  r[7] = static_cast<uint8_t>(c);
  for (size_t i = 0; i < c; ++i) PutEvent3(r.data() + 8 + 3 * i, macro.events[i], true);
  return r;
}

std::array<uint8_t, 2> KeyTableEntry100(int macroType, int macroValue, int macroSlot) {
  switch (macroType) {
    case kAssignDisabled:
      return {0x00, 0x20};
    case kAssignKey:
      if (macroValue >= 1 && macroValue <= 255) return {static_cast<uint8_t>(macroValue), 0x20};
      return {0x00, 0x00};
    case kAssignMacro:
    case kAssignShortcut:
      if (macroSlot >= 0 && macroSlot <= 255) return {static_cast<uint8_t>(macroSlot), 0x40};
      return {0x00, 0x00};
    default:
      return {0x00, 0x00};
  }
}

std::array<Report, 4> KeyTableReports100(const std::array<uint8_t, kKeyTable100Bytes>& table) {
  constexpr uint8_t kLengths[4] = {60, 60, 60, 40};
  std::array<Report, 4> reports{};
  for (size_t k = 0; k < reports.size(); ++k) {
    const size_t offset = kTableChunkBytes * k;
    Report& r = reports[k];
    r[1] = 0x8D;
    r[2] = kLengths[k];
    r[3] = static_cast<uint8_t>(offset & 0xFF);
    r[4] = static_cast<uint8_t>(offset >> 8);
    std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(offset), kTableChunkBytes, r.begin() + 5);
  }
  return reports;
}

}  // namespace kl
