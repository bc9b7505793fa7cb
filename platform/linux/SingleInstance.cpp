#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "base/Path.h"
#include "platform/Paths.h"

namespace kl::platform {

SingleInstanceLock::~SingleInstanceLock() {
  if (m_fd >= 0) ::close(m_fd);
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(const std::wstring& appName) {
  if (m_fd >= 0) return Result::Acquired;
  const std::string path = NativePath(JoinPath(RuntimeFolder(), appName + L".lock"));
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Result::Failed;
  int rc;
  do rc = ::flock(fd, LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? Result::AlreadyRunning : Result::Failed;
  }
  m_fd = fd;
  return Result::Acquired;
}

}  // namespace kl::platform
