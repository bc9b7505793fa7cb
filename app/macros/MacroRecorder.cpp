#include "app/macros/MacroRecorder.h"

#include <algorithm>
#include <utility>

#include "app/macros/MacroModel.h"

namespace kl {

namespace {

constexpr int kFlagExtended = 0x01;
constexpr int kFlagUp = 0x80;

// Keypad keys by scan code, for a non-extended key: with Num Lock off the system reports
// keypad 7 as Home and so on, but the macro must play the keypad key.
constexpr std::pair<int, int> kKeypadScanCodes[] = {
    {71, 103}, {72, 104}, {73, 105}, {75, 100}, {76, 101}, {77, 102},
    {79, 97},  {80, 98},  {81, 99},  {82, 96},  {83, 110},
};
constexpr int kScanEnter = 28;
constexpr int kVkKeypadEnter = 108;

constexpr std::pair<int, const wchar_t*> kFixedNames[] = {
    {16, L"Shift"},         {160, L"Shift"},          {17, L"Ctrl"},           {162, L"Ctrl"},
    {18, L"Alt"},           {164, L"Alt"},            {19, L"Pause"},          {44, L"Print Screen"},
    {91, L"Windows"},       {92, L"RWindows"},        {93, L"Application"},    {144, L"Num Lock"},
    {161, L"RShift"},       {163, L"RCtrl"},          {165, L"RAlt"},          {166, L"Web-Backward"},
    {167, L"Web-Forward"},  {168, L"Web-Refresh"},    {169, L"Web-Stop"},      {170, L"Web-Search"},
    {171, L"Web-Favorites"}, {172, L"Web-Home"},      {173, L"Vol Mute"},      {174, L"Vol Down"},
    {175, L"Vol Up"},       {176, L"Next Track"},     {177, L"Prev Track"},    {178, L"Stop"},
    {179, L"Play/Pause"},   {180, L"EMail"},          {181, L"Multimedia"},    {182, L"My Computer"},
    {183, L"Calculator"},
};

// Shift, Ctrl and Alt without a side are recorded as the left keys.
int LeftVariant(int virtualKey) {
  switch (virtualKey) {
    case 16: return 160;
    case 17: return 162;
    case 18: return 164;
    default: return virtualKey;
  }
}

}  // namespace

std::wstring RecordedKeyName(int virtualKey, const std::function<std::wstring(int)>& layoutName) {
  for (const auto& [key, name] : kFixedNames)
    if (key == virtualKey) return name;
  return layoutName ? layoutName(virtualKey) : std::wstring();
}

MacroRecorder::StartResult MacroRecorder::Start(std::vector<MacroItemRecord> storedEvents, int delayPolicy,
                                                int fixedDelay) {
  if (m_recording) return StartResult::AlreadyRecording;
  // A key press takes two events; without room for both the macro is full.
  if (static_cast<int>(storedEvents.size()) + 2 > m_limit) return StartResult::LimitReached;
  m_events = std::move(storedEvents);
  m_delayPolicy = delayPolicy >= kDelayMeasured && delayPolicy <= kDelayFixed ? delayPolicy : kDelayMeasured;
  m_fixedDelay = std::clamp(fixedDelay, 0, kMaxMacroDelay);
  m_haveLastTime = false;
  m_lastTime = 0;
  m_keysDown.clear();
  m_recording = true;
  return StartResult::Started;
}

MacroRecorder::KeyResult MacroRecorder::HandleKey(const CapturedKey& key) {
  if (!m_recording) return KeyResult::NotRecording;
  if (key.action == KeyAction::Other) return KeyResult::Dropped;
  const bool down = key.action == KeyAction::Down;

  int virtualKey = key.virtualKey;
  const int plainFlags = down ? 0 : kFlagUp;
  if (key.flags == plainFlags) {
    for (const auto& [scan, keypadKey] : kKeypadScanCodes)
      if (scan == key.scanCode) virtualKey = keypadKey;
  } else if (key.flags == (plainFlags | kFlagExtended) && key.scanCode == kScanEnter) {
    virtualKey = kVkKeypadEnter;
  }
  if (virtualKey == 0) return KeyResult::Dropped;
  virtualKey = LeftVariant(virtualKey);

  const int count = static_cast<int>(m_events.size());
  const int held = static_cast<int>(m_keysDown.size());
  if (down) {
    if (m_keysDown.count(virtualKey)) return KeyResult::Dropped;  // auto-repeat
    // Room for this key-down, its key-up and the key-ups of every key held.
    if (count + 2 + held > m_limit) {
      Finish();
      return KeyResult::LimitReached;
    }
    const std::wstring name = RecordedKeyName(virtualKey, m_layoutName);
    m_keysDown.emplace(virtualKey, name);
    AddEvent(virtualKey, name, true, key.timeMs);
  } else {
    const auto heldKey = m_keysDown.find(virtualKey);
    if (heldKey != m_keysDown.end()) {
      m_keysDown.erase(heldKey);
    } else if (count + 1 + held > m_limit) {
      return KeyResult::Dropped;  // a key-up never seen going down may not take reserved room
    }
    AddEvent(virtualKey, RecordedKeyName(virtualKey, m_layoutName), false, key.timeMs);
  }
  if (static_cast<int>(m_events.size()) >= m_limit) {
    Finish();
    return KeyResult::LimitReached;
  }
  return KeyResult::Recorded;
}

void MacroRecorder::AddEvent(int virtualKey, const std::wstring& name, bool down, int64_t timeMs) {
  int elapsed = 0;
  if (m_haveLastTime) elapsed = static_cast<int>(std::clamp<int64_t>(timeMs - m_lastTime, 0, kMaxMacroDelay));
  m_haveLastTime = true;
  m_lastTime = timeMs;
  int delay = 0;
  if (m_delayPolicy == kDelayFixed) delay = m_fixedDelay;
  else if (m_delayPolicy == kDelayMeasured) delay = elapsed;
  if (delay != 0 && !m_events.empty()) m_events.back().delayTime = delay;

  MacroItemRecord event;
  event.type = down ? kMacroEventDown : kMacroEventUp;
  event.value = virtualKey;
  event.desc = name;
  event.delayTime = 0;
  event.recordIndex = static_cast<int>(m_events.size());
  m_events.push_back(std::move(event));
}

void MacroRecorder::Stop() {
  if (m_recording) Finish();
}

void MacroRecorder::Finish() {
  // The key-ups still owed, at the time of the last event so they add no measured pause.
  const std::map<int, std::wstring> held = std::move(m_keysDown);
  for (const auto& [virtualKey, name] : held) AddEvent(virtualKey, name, false, m_lastTime);
  m_keysDown.clear();
  m_recording = false;
  m_haveLastTime = false;
  m_lastTime = 0;
}

}  // namespace kl
