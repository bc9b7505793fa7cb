// The background worker thread: calls the run routine of the derived class once every
// interval (16 ms) until stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "base/Clock.h"

namespace kl {

class WorkerThreadBase {
 public:
  explicit WorkerThreadBase(const Clock& clock) : m_clock(clock) {}
  // A derived class must call Stop() in its own destructor: the thread calls Run().
  virtual ~WorkerThreadBase();
  WorkerThreadBase(const WorkerThreadBase&) = delete;
  WorkerThreadBase& operator=(const WorkerThreadBase&) = delete;

  // Starts the thread with interval 16 ms and repeat on. 1 when a thread was started, 0 when
  // one is already running.
  int Start();
  // Ends the loop after the current pass and waits for the thread to finish.
  void Stop();
  bool IsRunning() const { return m_running; }
  int64_t StartTime() const { return m_startTime; }

 protected:
  virtual void Run() = 0;  // one pass
  const Clock& m_clock;

 private:
  void ThreadBody();

  std::thread m_thread;
  std::atomic<bool> m_running{false};
  bool m_repeat = true;
  int m_intervalMs = 16;
  int64_t m_startTime = 0;
};

}  // namespace kl
