// Makes sure only one copy of the program runs per user. Linux: an flock on
// $XDG_RUNTIME_DIR/<app>.lock, released by the kernel when the process ends, so a crashed
// instance never blocks the next start. Use from the UI thread.
#pragma once

#include <string>

namespace kl::platform {

class SingleInstanceLock {
 public:
  SingleInstanceLock() = default;
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  enum class Result { Acquired, AlreadyRunning, Failed };
  // Takes the lock for `appName`. Failed (no lock file could be made) lets the caller decide;
  // the program then runs as if it were the only instance.
  Result Acquire(const std::wstring& appName);

 private:
  int m_fd = -1;
};

}  // namespace kl::platform
