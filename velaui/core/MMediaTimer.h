// MMediaTimer: named periodic ticks (the shared animation tick of a window).
//
// Ticks come from the window system's tick timers, so they run on the UI thread between
// messages and never while a window paints. Each timer has an ID, a name and an
// "application timer" flag; an application timer also gets the named OnMTimer(id, name).
#pragma once

#include <string>
#include <vector>

#include "platform/Messages.h"

namespace kl::vela {

class MMediaTimer {
 public:
  MMediaTimer() = default;
  virtual ~MMediaTimer();
  MMediaTimer(const MMediaTimer&) = delete;
  MMediaTimer& operator=(const MMediaTimer&) = delete;

  virtual void OnMTimer(UINT id, const std::wstring& name) {}
  virtual void OnMTimer(UINT id) = 0;

  // Starts a periodic timer of `ms` milliseconds; returns its ID, 0 on failure.
  UINT SetTimer(UINT ms, const std::wstring& name, bool appTimer);
  // Stop timers; the count of timers left is returned by the named and ID forms.
  int KillTimer(UINT id);
  int KillTimer(const std::wstring& name);
  void KillTimer();
  std::wstring GetTimerName(UINT id) const;
  bool IsAppTimer(UINT id) const;
  bool GetTimerIsRun(UINT id) const;
  bool GetTimerIsRun(const std::wstring& name) const;
  // The object owning timer `id`, null when none does.
  static MMediaTimer* GetTimerObject(UINT id);

 private:
  struct Entry {
    UINT id;
    std::wstring name;
    bool appTimer;
  };
  void Fire(UINT id);
  std::vector<Entry> m_timers;
};

}  // namespace kl::vela
