// Macro recording: turns the key events captured while recording into macro events with
// delays. The capture itself (a keyboard grab on X11) lives with the main window and feeds
// CapturedKey values here one at a time, on one thread.
//
// States:
//   idle       --Start (room for at least one key press)-->          recording
//   recording  --HandleKey: a key-down without room for it and the
//                key-ups of every key held-->                        idle (LimitReached)
//   recording  --the event count reaches the limit-->                idle (LimitReached)
//   recording  --Stop-->                                             idle
// Leaving the recording state adds a key-up for every key still held, so a stored macro never
// leaves a key pressed on the keyboard; the room for those key-ups is kept free while recording.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/store/StoreRecords.h"

namespace kl {

enum class KeyAction { Down, Up, Other };

struct CapturedKey {
  KeyAction action = KeyAction::Other;
  int virtualKey = 0;  // Windows virtual-key code
  int scanCode = 0;
  int flags = 0;       // 0x01 extended key, 0x80 key up
  int64_t timeMs = 0;  // any monotonic millisecond clock
};

// The name a recorded key shows: fixed names for modifiers, media and browser keys, otherwise
// what `layoutName` says for the key in the current keyboard layout.
std::wstring RecordedKeyName(int virtualKey, const std::function<std::wstring(int)>& layoutName);

class MacroRecorder {
 public:
  using KeyNameSource = std::function<std::wstring(int virtualKey)>;

  explicit MacroRecorder(KeyNameSource layoutName) : m_layoutName(std::move(layoutName)) {}

  // 80, or 60 for the 300 series (MacroEventLimit).
  void SetEventLimit(int limit) { m_limit = limit; }
  int EventLimit() const { return m_limit; }

  enum class StartResult { Started, LimitReached, AlreadyRecording };
  // Recording appends to `storedEvents`, the macro's events so far. `delayPolicy` is 1 measured,
  // 2 none, 3 fixed (`fixedDelay` ms). LimitReached: no room for a key press; stays idle.
  StartResult Start(std::vector<MacroItemRecord> storedEvents, int delayPolicy, int fixedDelay);

  enum class KeyResult {
    NotRecording,  // idle: the key is not ours
    Recorded,
    Dropped,       // consumed, nothing recorded (auto-repeat, unknown key or action)
    LimitReached,  // recording stopped; save Events() and tell the user
  };
  KeyResult HandleKey(const CapturedKey& key);

  // Ends recording; Events() then holds what to save.
  void Stop();

  bool IsRecording() const { return m_recording; }
  const std::vector<MacroItemRecord>& Events() const { return m_events; }

 private:
  void AddEvent(int virtualKey, const std::wstring& name, bool down, int64_t timeMs);
  void Finish();

  KeyNameSource m_layoutName;
  int m_limit = 80;
  bool m_recording = false;
  int m_delayPolicy = 1;
  int m_fixedDelay = 10;
  bool m_haveLastTime = false;
  int64_t m_lastTime = 0;
  std::vector<MacroItemRecord> m_events;
  std::map<int, std::wstring> m_keysDown;  // virtual key -> its name, for the closing key-ups
};

}  // namespace kl
