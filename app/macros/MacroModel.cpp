#include "app/macros/MacroModel.h"

#include <algorithm>

#include "app/LanguageTexts.h"
#include "app/Startup.h"
#include "app/keys/ForbiddenWords.h"
#include "base/CString.h"

namespace kl {

namespace {

constexpr int kTextMacro = 331;

constexpr uint8_t kLCtrl = 0xE0;
constexpr uint8_t kLAlt = 0xE2;
constexpr uint8_t kLWin = 0xE3;

// Modifier down, key down, key up, modifier up.
#define KL_CHORD(mod, key) {mod, true}, {key, true}, {key, false}, {mod, false}
constexpr ShortcutEvent kShortcuts[][6] = {
    {KL_CHORD(kLCtrl, 0x04)},  // 1 Ctrl A
    {KL_CHORD(kLCtrl, 0x06)},  // 2 Ctrl C
    {KL_CHORD(kLCtrl, 0x1B)},  // 3 Ctrl X
    {KL_CHORD(kLCtrl, 0x19)},  // 4 Ctrl V
    {KL_CHORD(kLCtrl, 0x1D)},  // 5 Ctrl Z
    {KL_CHORD(kLCtrl, 0x16)},  // 6 Ctrl S
    {KL_CHORD(kLWin, 0x08)},   // 7 Win E
    {KL_CHORD(kLWin, 0x0F)},   // 8 Win L
    {KL_CHORD(kLWin, 0x07)},   // 9 Win D
    {KL_CHORD(kLAlt, 0x2B)},   // 10 Alt Tab
    {KL_CHORD(kLWin, 0x10)},   // 11 Win M
    {KL_CHORD(kLCtrl, 0x1A)},  // 12 Ctrl W
    {{kLAlt, true}, {0x2C, true}, {0x1B, true}, {0x1B, false}, {0x2C, false}, {kLAlt, false}},  // 13 Alt Space X
    {{kLAlt, true}, {0x2C, true}, {0x11, true}, {0x11, false}, {0x2C, false}, {kLAlt, false}},  // 14 Alt Space N
    {KL_CHORD(kLAlt, 0x3D)},  // 15 Alt F4
};
#undef KL_CHORD

}  // namespace

int MacroEventLimit(int deviceType) { return deviceType >= 300 && deviceType <= 399 ? 60 : 80; }

std::span<const ShortcutEvent> BuiltInShortcut(int value) {
  if (value < 1 || value > 15) return {};
  const size_t count = value == 13 || value == 14 ? 6 : 4;
  return std::span<const ShortcutEvent>(kShortcuts[value - 1], count);
}

uint8_t DelayByte(int delayMs, bool keyUp) {
  const int t = std::clamp(delayMs, 0, kMaxMacroDelay);
  int byte;
  if (t <= 10) byte = 0x01;
  else if (t <= 310) byte = t / 10;
  else if (t <= 1550) byte = 0x20 | t / 50;
  else if (t <= 3100) byte = 0x40 | t / 100;
  else byte = 0x60 | t / 1000;
  return static_cast<uint8_t>(keyUp ? byte | 0x80 : byte);
}

std::wstring MakeUniqueName(std::wstring_view base, const std::vector<std::wstring>& taken) {
  CString candidate;
  for (int n = 1; n <= kMaxUniqueNumber; ++n) {
    candidate.Format(L"%s %d", std::wstring(base).c_str(), n);
    if (std::find(taken.begin(), taken.end(), candidate.Str()) == taken.end()) break;
  }
  return candidate.Str();
}

std::wstring MacroDisplayName(std::wstring_view storedName) {
  return RelabelDefaultName(storedName, CurrentLanguage(), DefaultName::Macro, GetText(kTextSection, kTextMacro));
}

int MacroModel::Load() {
  std::vector<MacroRecord> macros;
  m_store.ListMacros(macros);
  m_items.clear();
  for (const MacroRecord& macro : macros) m_items.push_back({macro.macroId, MacroDisplayName(macro.name)});
  return static_cast<int>(m_items.size());
}

std::vector<std::wstring> MacroModel::ItemTexts() const {
  std::vector<std::wstring> texts;
  for (const Item& item : m_items) texts.push_back(item.text);
  return texts;
}

int MacroModel::CreateMacro() {
  const std::wstring name = MakeUniqueName(GetText(kTextSection, kTextMacro), ItemTexts());
  const int id = m_store.AddEmptyMacro(name);
  if (id > 0) m_items.push_back({id, MacroDisplayName(name)});
  return id;
}

int MacroModel::CopyMacro(int macroId) {
  MacroRecord source;
  if (!m_store.ReadMacro(macroId, source)) return 0;
  MacroRecord copy = source;
  copy.name = MakeUniqueName(source.name + L" -", ItemTexts());
  int id = 0;
  const bool copied = m_store.RunInTransaction([&] {
    id = m_store.AddMacro(copy);
    if (id <= 0) return false;
    std::vector<MacroItemRecord> events;
    m_store.ListMacroSteps(macroId, events);
    for (MacroItemRecord& event : events) event.macroId = id;
    return m_store.AddMacroSteps(events);
  });
  if (!copied) return 0;
  m_items.push_back({id, MacroDisplayName(copy.name)});
  return id;
}

NameCheck MacroModel::RenameMacro(int macroId, std::wstring_view name) {
  if (ContainsForbiddenWord(name)) return NameCheck::ForbiddenWord;
  if (name.empty()) return NameCheck::Empty;
  const bool renamed = m_store.RunInTransaction(
      [&] { return m_store.RenameMacro(macroId, name) && m_store.RenameMacroInAssignments(macroId, name); });
  if (!renamed) return NameCheck::StoreFailed;
  for (Item& item : m_items)
    if (item.macroId == macroId) item.text = MacroDisplayName(name);
  return NameCheck::Accepted;
}

bool MacroModel::DeleteMacro(int macroId, std::vector<KeyAssignmentRecord>& unbound) {
  unbound.clear();
  const bool deleted = m_store.RunInTransaction([&] {
    m_store.ListMacroAssignments(macroId, unbound);
    return m_store.DeleteMacro(macroId) && m_store.RemoveMacroFromAssignments(macroId);
  });
  if (!deleted) {
    unbound.clear();
    return false;
  }
  std::erase_if(m_items, [&](const Item& item) { return item.macroId == macroId; });
  return true;
}

bool MacroModel::SavePlaySettings(int macroId, int playTimes, int delayType, int fixedDelay) {
  MacroRecord record;
  record.macroId = macroId;
  record.playTimes = std::clamp(playTimes, kMinPlayTimes, kMaxPlayTimes);
  record.delayType = delayType >= kDelayMeasured && delayType <= kDelayFixed ? delayType : kDelayMeasured;
  record.delayTime = std::clamp(fixedDelay, 0, kMaxFixedDelay);
  return m_store.UpdateMacroOptions(record);
}

bool MacroModel::SaveEvents(int macroId, std::vector<MacroItemRecord> events) {
  for (size_t i = 0; i < events.size(); ++i) {
    events[i].macroId = macroId;
    events[i].recordIndex = static_cast<int>(i);
  }
  return m_store.ReplaceMacroSteps(macroId, events);
}

int MacroModel::ReadEvents(int macroId, std::vector<MacroItemRecord>& events) {
  return m_store.ListMacroSteps(macroId, events);
}

}  // namespace kl
