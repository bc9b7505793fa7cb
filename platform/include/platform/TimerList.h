// The window timers and shared ticks of a window system, kept the same way by every backend:
// a backend owns one list on its UI thread, tells it the time, and delivers what it hands out.
// Not thread-safe: [ui] only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/WindowSystem.h"

namespace kl::platform {

class TimerList {
 public:
  struct Timer {
    WindowId window = 0;  // 0 for a tick
    UINT id = 0;
    UINT interval = 1;
    uint64_t due = 0;
    std::function<void(TickId)> tick;
  };

  // Starts the window's timer `id`, or restarts it with the new interval. Intervals below 1 ms
  // count as 1 ms.
  void Set(WindowId window, UINT id, UINT ms, uint64_t now) {
    const UINT interval = std::max(ms, 1u);
    for (Timer& t : m_timers)
      if (t.window == window && t.id == id) {
        t.interval = interval;
        t.due = now + interval;
        return;
      }
    m_timers.push_back({window, id, interval, now + interval, {}});
  }
  bool Kill(WindowId window, UINT id) {
    return std::erase_if(m_timers, [&](const Timer& t) { return t.window == window && t.id == id; }) > 0;
  }
  TickId StartTick(UINT ms, std::function<void(TickId)> callback, uint64_t now) {
    const UINT interval = std::max(ms, 1u);
    const TickId id = m_nextTick++;
    m_timers.push_back({0, id, interval, now + interval, std::move(callback)});
    return id;
  }
  bool StopTick(TickId tick) {
    return std::erase_if(m_timers, [&](const Timer& t) { return t.window == 0 && t.id == tick; }) > 0;
  }
  void RemoveWindow(WindowId window) {
    std::erase_if(m_timers, [&](const Timer& t) { return t.window == window; });
  }

  // The earliest due time, UINT64_MAX when there is no timer.
  uint64_t NextDue() const {
    uint64_t next = UINT64_MAX;
    for (const Timer& t : m_timers) next = std::min(next, t.due);
    return next;
  }

  // The earliest timer due at or before `limit`, rescheduled one interval on (never before
  // `now`, so a late timer does not fire in a burst). A copy: delivering it may add or remove
  // timers.
  std::optional<Timer> TakeDue(uint64_t limit, uint64_t now) {
    Timer* earliest = nullptr;
    for (Timer& t : m_timers)
      if (t.due <= limit && (!earliest || t.due < earliest->due)) earliest = &t;
    if (!earliest) return std::nullopt;
    earliest->due = std::max(earliest->due + earliest->interval, now);
    return *earliest;
  }

 private:
  std::vector<Timer> m_timers;
  TickId m_nextTick = 1;
};

}  // namespace kl::platform
