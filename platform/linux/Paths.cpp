#include "platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

#include "base/Encoding.h"
#include "base/Path.h"

namespace kl::platform {
namespace {

std::mutex g_overrideMutex;
std::wstring g_moduleOverride;

// An absolute folder from the environment, or `fallback` under the home folder.
std::wstring XdgFolder(const char* variable, const char* homeRelative) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return NormalizePath(Utf8ToWide(value));
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  return JoinPath(Utf8ToWide(home), Utf8ToWide(homeRelative));
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::wstring ModuleFolder() {
  {
    std::lock_guard lock(g_overrideMutex);
    if (!g_moduleOverride.empty()) return g_moduleOverride;
  }
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return {};
  std::string exe(buffer, static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::wstring() : Utf8ToWide(exe.substr(0, slash == 0 ? 1 : slash));
}

void OverrideModuleFolder(const std::wstring& folder) {
  std::lock_guard lock(g_overrideMutex);
  g_moduleOverride = folder.empty() ? folder : NormalizePath(folder);
}

std::wstring LocalAppDataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

std::wstring UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::wstring RuntimeFolder() {
  const char* value = std::getenv("XDG_RUNTIME_DIR");
  if (value && value[0] == '/' && IsDirectory(value)) return NormalizePath(Utf8ToWide(value));
  return L"/tmp";
}

bool CreateFolderRecursive(const std::wstring& path) {
  const std::string native = NativePath(NormalizePath(path));
  if (native.empty()) return false;
  if (IsDirectory(native)) return true;
  // Create every prefix that ends before a separator, ignoring failures on the way (a prefix
  // may exist or belong to someone else); only the final folder decides the result.
  for (size_t slash = native.find('/', 1); slash != std::string::npos; slash = native.find('/', slash + 1))
    ::mkdir(native.substr(0, slash).c_str(), 0700);
  return (::mkdir(native.c_str(), 0700) == 0 || errno == EEXIST) && IsDirectory(native);
}

}  // namespace kl::platform
