#include "app/uploads/KeyUploader.h"

#include <algorithm>
#include <set>

#include "app/device/StatusCommands.h"
#include "app/keys/KeyCatalog.h"

namespace kl {

namespace {

constexpr int kSingleKeySettleMs = 100;
constexpr int kKeyGapMs = 16;
constexpr int kKeyFunctionPauseMs = 50;
constexpr int kBlockPiecePauseMs = 20;
constexpr int kBlockEndPauseMs = 90;
constexpr int kSlotReadSettleMs = 100;
constexpr int kMacroGap100Ms = 10;
constexpr int kMacroPiece100Ms = 100;
constexpr int kKeyTableGap100Ms = 20;
constexpr int kKeyTableChunk100Ms = 10;

// 200-series slot table: byte i (1..13) macro slot i, byte 13 + i (14..23) key slot i.
constexpr int kMacroSlots200 = 13;
constexpr int kKeySlots200 = 10;

bool IsBlockType(int macroType) { return macroType == kAssignMacro || macroType == kAssignShortcut; }
bool FitsByte(int value) { return value >= 0 && value <= 255; }

// The slot of `kind` (first table byte `base`, `count` slots) that holds `keyCode`, 0 for none.
int SlotHolding(const ShortFeatureResult& slots, int base, int count, int keyCode) {
  if (keyCode <= 0) return 0;
  for (int i = 1; i <= count; ++i)
    if (slots[static_cast<size_t>(base + i)] == keyCode) return i;
  return 0;
}
// The slot holding `keyCode`, else the first free one, else 1 (the keyboard has no more).
int SlotFor(const ShortFeatureResult& slots, int base, int count, int keyCode) {
  if (const int held = SlotHolding(slots, base, count, keyCode)) return held;
  for (int i = 1; i <= count; ++i)
    if (slots[static_cast<size_t>(base + i)] == 0) return i;
  return 1;
}

}  // namespace

KeyUploader::KeyUploader(HidDeviceSet& devices, DataStore& store, std::map<int, int> keyIndexMap)
    : m_devices(devices), m_store(store), m_clock(devices.GetClock()), m_keyIndexMap(std::move(keyIndexMap)) {}

void KeyUploader::MarkSingleKey(int keyCode) {
  m_selectedKey = keyCode;
  m_singleKey = true;
}

KeyAssignmentRecord KeyUploader::ReadAssignment(const UploadTarget& target, int layer, int keyCode) {
  KeyAssignmentRecord record;
  if (!m_store.ReadKeyAssignment(target.profile, layer, keyCode, record)) record = KeyAssignmentRecord{};
  return record;
}

bool KeyUploader::UploadKeyAssignments(const UploadTarget& target) {
  bool sent = true;
  switch (SeriesOf(target.deviceType)) {
    case Series::S300:
      sent = Upload300(target);
      break;
    case Series::S200:
      sent = Upload200(target);
      break;
    case Series::S100:
      sent = Upload100(target);
      break;
    case Series::None:
      break;
  }
  m_singleKey = false;
  return sent;
}

// ---- 300 series ----

bool KeyUploader::SendCommand0x04(int layer, int keyCode, uint8_t function) {
  Command command = MakeCommand300(0x04, {static_cast<uint8_t>(layer + 1), static_cast<uint8_t>(keyCode), function});
  return m_devices.SendCommand(command, false);
}

bool KeyUploader::SendKeyFunction(const UploadTarget& target, int layer, int keyCode) {
  if (!FitsByte(keyCode)) return true;  // no such key on the keyboard
  const KeyAssignmentRecord record = ReadAssignment(target, layer, keyCode);
  uint8_t function = 0;  // default; also for a value whose low byte would be another function
  if (record.macroValue > 0) {
    if (record.macroType == kAssignDefault || IsBlockType(record.macroType)) return true;
    if (FitsByte(record.macroValue)) function = static_cast<uint8_t>(record.macroValue);
  }
  const bool sent = SendCommand0x04(layer, keyCode, function);
  m_clock.SleepMs(kKeyFunctionPauseMs);
  return sent;
}

bool KeyUploader::SendKeyBlock300(int layer, int keyCode, int macroType, int macroValue) {
  if (!FitsByte(keyCode)) return true;
  const KeyBlock300 block = BuildKeyBlock300(layer, keyCode, ReadKeyMacro(m_store, macroType, macroValue));
  bool sent = true;
  for (Command& piece : KeyBlockCommands300(block)) {
    sent = m_devices.SendCommand(piece, false) && sent;
    m_clock.SleepMs(kBlockPiecePauseMs);
  }
  m_clock.SleepMs(kBlockEndPauseMs);
  return sent;
}

bool KeyUploader::Upload300(const UploadTarget& target) {
  if (!m_singleKey) return UploadProfile300(target);
  m_clock.SleepMs(kSingleKeySettleMs);
  const int keyCode = m_selectedKey;
  const KeyAssignmentRecord record = ReadAssignment(target, target.layer, keyCode);
  if (IsBlockType(record.macroType)) return SendKeyBlock300(target.layer, keyCode, record.macroType, record.macroValue);
  return SendKeyFunction(target, target.layer, keyCode);
}

bool KeyUploader::UploadProfile300(const UploadTarget& target) {
  if (SeriesOf(target.deviceType) != Series::S300) return false;
  bool sent = ResetKeyAssignments(m_devices);
  for (int layer = 0; layer <= 1; ++layer) {
    std::vector<KeyAssignmentRecord> list;
    m_store.ListLayerAssignments(target.profile, layer, list);
    for (const KeyAssignmentRecord& record : list) {
      if (record.macroType == kAssignDefault) continue;
      m_clock.SleepMs(kKeyGapMs);
      if (IsBlockType(record.macroType))
        sent = SendKeyBlock300(layer, record.keyCode, record.macroType, record.macroValue) && sent;
      else
        sent = SendKeyFunction(target, layer, record.keyCode) && sent;
    }
  }
  return sent;
}

void KeyUploader::NoteUnboundKeys(std::vector<KeyAssignmentRecord> unbound) {
  std::lock_guard guard(m_unboundLock);
  m_unbound.insert(m_unbound.end(), unbound.begin(), unbound.end());
}

int KeyUploader::ResetMacroKeys(const UploadTarget& target) {
  std::vector<KeyAssignmentRecord> unbound;
  {
    std::lock_guard guard(m_unboundLock);
    unbound.swap(m_unbound);
  }
  if (SeriesOf(target.deviceType) != Series::S300) return 0;
  int reset = 0;
  for (const KeyAssignmentRecord& record : unbound) {
    if (record.profile != target.profile || record.macroType != kAssignMacro || !FitsByte(record.keyCode)) continue;
    if (record.fnLayer < 0 || record.fnLayer > 1) continue;
    KeyAssignmentRecord now;
    if (m_store.ReadKeyAssignment(record.profile, record.fnLayer, record.keyCode, now)) continue;
    m_clock.SleepMs(kKeyGapMs);
    if (SendCommand0x04(record.fnLayer, record.keyCode, 0)) ++reset;
  }
  return reset;
}

// ---- 200 series ----

bool KeyUploader::ReadKeySlots(ShortFeatureResult& slots) {
  slots.fill(0);
  return m_devices.ExchangeShortFeature(ShortFeature{0x07, 0xFB, 0x01}, slots);
}

namespace {
Report KeySlotReport(int slot, uint8_t keyCode, uint8_t value) {
  return MakeFeature200(0xFA, {0x01, static_cast<uint8_t>(slot), keyCode, 0x01, value, 0x01});
}
}  // namespace

bool KeyUploader::SendKeySlot(const UploadTarget& target, int keyCode, int slot) {
  const KeyAssignmentRecord record = ReadAssignment(target, target.layer, keyCode);
  // A value whose low byte would be another function frees the slot like no value at all.
  if (record.macroValue < 1 || !FitsByte(record.macroValue) || !FitsByte(keyCode))
    return m_devices.SendFeatureReport(KeySlotReport(slot, 0, 0));
  if (record.macroType == kAssignDefault || IsBlockType(record.macroType)) return true;
  return m_devices.SendFeatureReport(
      KeySlotReport(slot, static_cast<uint8_t>(keyCode), static_cast<uint8_t>(record.macroValue)));
}

bool KeyUploader::SendKeyBlock200(int slot, int keyCode, int macroType, int macroValue) {
  const bool carriesKey = IsBlockType(macroType) && FitsByte(keyCode);
  const KeyMacro macro = carriesKey ? ReadKeyMacro(m_store, macroType, macroValue) : KeyMacro{};
  bool sent = true;
  for (const Report& report : KeyBlockReports200(BuildKeyBlock200(slot, keyCode, carriesKey, macro)))
    sent = m_devices.SendFeatureReport(report) && sent;
  return sent;
}

bool KeyUploader::UploadSingleKey200(const UploadTarget& target, int keyCode) {
  ShortFeatureResult slots{};
  if (!ReadKeySlots(slots)) return false;  // without the table any slot could be someone else's
  m_clock.SleepMs(kSlotReadSettleMs);
  const KeyAssignmentRecord record = ReadAssignment(target, target.layer, keyCode);
  const int macroSlot = SlotHolding(slots, 0, kMacroSlots200, keyCode);
  const int keySlot = SlotHolding(slots, kMacroSlots200, kKeySlots200, keyCode);
  if (record.macroType == kAssignKey) {
    // A key that played a macro before gives its macro slot back, or it would hold both.
    bool sent = macroSlot == 0 || SendKeyBlock200(macroSlot, keyCode, kAssignDefault, 0);
    return SendKeySlot(target, keyCode, SlotFor(slots, kMacroSlots200, kKeySlots200, keyCode)) && sent;
  }
  if (IsBlockType(record.macroType)) {
    bool sent = keySlot == 0 || m_devices.SendFeatureReport(KeySlotReport(keySlot, 0, 0));
    const int slot = SlotFor(slots, 0, kMacroSlots200, keyCode);
    return SendKeyBlock200(slot, keyCode, record.macroType, record.macroValue) && sent;
  }
  bool sent = true;
  if (macroSlot != 0) sent = SendKeyBlock200(macroSlot, keyCode, record.macroType, record.macroValue);
  if (keySlot != 0) sent = SendKeySlot(target, keyCode, keySlot) && sent;
  return sent;
}

bool KeyUploader::Upload200(const UploadTarget& target) {
  if (m_singleKey) return UploadSingleKey200(target, m_selectedKey);
  // The keyboard empties its slots on this exchange; its replies carry nothing of use.
  ShortFeatureResult ignored{};
  bool sent = m_devices.ExchangeShortFeature(ShortFeature{0xAA, 0x55, 0xCC, 0x0F}, ignored);
  std::vector<KeyAssignmentRecord> list;
  m_store.ListLayerAssignments(target.profile, target.layer, list);
  int macroSlot = 0;
  int keySlot = 0;
  for (const KeyAssignmentRecord& record : list) {
    if (record.macroType == kAssignDefault) continue;
    // Slots the keyboard does not have are not sent: the keys beyond them keep their default.
    if (IsBlockType(record.macroType)) {
      if (macroSlot == kMacroSlots200) continue;
      m_clock.SleepMs(kKeyGapMs);
      sent = SendKeyBlock200(++macroSlot, record.keyCode, record.macroType, record.macroValue) && sent;
    } else {
      if (keySlot == kKeySlots200) continue;
      m_clock.SleepMs(kKeyGapMs);
      sent = SendKeySlot(target, record.keyCode, ++keySlot) && sent;
    }
  }
  return sent;
}

int KeyUploader::SyncKeySlots(const UploadTarget& target) {
  // Only a 200-series keyboard has the slot table; what another answers to the read would
  // empty the profile.
  if (SeriesOf(target.deviceType) != Series::S200) return 0;
  ShortFeatureResult slots{};
  if (!ReadKeySlots(slots)) return -1;  // an unread table must not empty the store
  const std::set<int> held(slots.begin() + 1, slots.begin() + 1 + kMacroSlots200 + kKeySlots200);
  std::vector<KeyAssignmentRecord> list;
  m_store.ListLayerAssignments(target.profile, target.layer, list);
  int removed = 0;
  const bool stored = m_store.RunInTransaction([&] {
    for (KeyAssignmentRecord record : list) {
      if (held.contains(record.keyCode)) continue;
      record.macroType = kAssignDefault;
      record.macroValue = 0;
      record.macroValue2 = 0;
      record.macroValue3 = 0;
      record.macroDesc.clear();
      m_store.SetKeyAssignment(record);  // values 0: the row goes
      ++removed;
    }
    return true;
  });
  return stored ? removed : -1;
}

// ---- 100 series ----

bool KeyUploader::UploadMacros100(const std::vector<KeyAssignmentRecord>& list) {
  m_macroSlots100.clear();
  int slot = 0;
  bool sent = true;
  for (const KeyAssignmentRecord& record : list) {
    if (record.macroType != kAssignMacro || !sent) continue;
    m_clock.SleepMs(kMacroGap100Ms);
    for (const Report& report : MacroReports100(slot, ReadKeyMacro(m_store, kAssignMacro, record.macroValue))) {
      m_clock.SleepMs(kMacroPiece100Ms);
      if (!m_devices.WriteRawReport(report)) {
        sent = false;  // the keyboard stopped taking reports: no further macro or shortcut
        break;
      }
    }
    if (sent) m_macroSlots100[record.keyCode] = slot++;
  }
  if (!sent) return false;
  for (const KeyAssignmentRecord& record : list) {
    if (record.macroType != kAssignShortcut) continue;
    m_clock.SleepMs(kMacroGap100Ms);
    m_devices.WriteRawReport(ShortcutReport100(slot, ReadKeyMacro(m_store, kAssignShortcut, record.macroValue)));
    m_macroSlots100[record.keyCode] = slot++;
  }
  return true;
}

bool KeyUploader::Upload100(const UploadTarget& target) {
  std::vector<KeyAssignmentRecord> list;
  m_store.ListLayerAssignments(target.profile, target.layer, list);
  bool sent = UploadMacros100(list);
  m_clock.SleepMs(kKeyTableGap100Ms);

  std::array<uint8_t, kKeyTable100Bytes> table{};
  for (const KeyAssignmentRecord& record : list) {
    const auto index = m_keyIndexMap.find(record.keyCode);
    if (index == m_keyIndexMap.end() || index->second < 0 || index->second >= kKeyTable100Entries) continue;
    const auto slot = m_macroSlots100.find(record.keyCode);
    const auto entry = KeyTableEntry100(record.macroType, record.macroValue,
                                        slot == m_macroSlots100.end() ? -1 : slot->second);
    std::copy(entry.begin(), entry.end(), table.begin() + 2 * index->second);
  }
  for (const Report& report : KeyTableReports100(table)) {
    m_clock.SleepMs(kKeyTableChunk100Ms);
    sent = m_devices.WriteRawReport(report) && sent;
  }
  return sent;
}

}  // namespace kl
