#include "platform/Settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Encoding.h"
#include "base/IniFile.h"
#include "base/Path.h"
#include "platform/Paths.h"

namespace kl::platform {
namespace {

constexpr wchar_t kSection[] = L"settings";

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

SettingsStore::SettingsStore(std::wstring appName) : m_appName(std::move(appName)) {}

std::wstring SettingsStore::FilePath() const {
  return JoinPath(JoinPath(UserConfigFolder(), m_appName), L"settings.ini");
}

bool SettingsStore::Open() {
  const std::wstring folder = JoinPath(UserConfigFolder(), m_appName);
  const std::string file = NativePath(FilePath());
  if (::access(file.c_str(), F_OK) == 0) {
    m_open = ::access(file.c_str(), R_OK) == 0;
    m_created = false;
    return m_open;
  }
  m_open = CreateFolderRecursive(folder) && ::access(NativePath(folder).c_str(), W_OK) == 0;
  m_created = m_open;
  return m_open;
}

std::optional<std::wstring> SettingsStore::Get(const std::wstring& name) const {
  if (!m_open) return std::nullopt;
  IniFile ini;
  if (!ini.LoadFile(FilePath()) || !ini.HasKey(kSection, name)) return std::nullopt;
  return ini.GetString(kSection, name);
}

bool SettingsStore::Set(const std::wstring& name, const std::wstring& value) {
  if (!m_open) return false;
  IniFile ini;
  ini.LoadFile(FilePath());  // a missing file starts empty
  ini.SetString(kSection, name, value);
  const std::string bytes = WideToUtf8(ini.ToText());

  const std::string target = NativePath(FilePath());
  const std::string temp = target + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace kl::platform
