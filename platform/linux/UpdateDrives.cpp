#include "platform/UpdateDrives.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "base/Parse.h"
#include "base/Path.h"

namespace kl::platform {

namespace {

constexpr int kUpdateVendorId = 0xFFF0;
constexpr int kMassStorageClass = 0x08;

// A sysfs attribute holding a hexadecimal number ("fff0\n"); -1 when unreadable.
int ReadHexAttribute(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string text;
  if (!(in >> text) || text.empty() || text.size() > 8) return -1;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return -1;
  return static_cast<int>(ParseHex(std::wstring(text.begin(), text.end())));
}

bool HasMassStorageInterface(const std::filesystem::path& device) {
  // Interfaces are the sub-folders named "<device>:<configuration>.<interface>".
  const std::string prefix = device.filename().string() + ":";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(device, error)) {
    if (entry.path().filename().string().rfind(prefix, 0) != 0) continue;
    if (ReadHexAttribute(entry.path() / "bInterfaceClass") == kMassStorageClass) return true;
  }
  return false;
}

}  // namespace

bool ProbeUpdateModeDrives(int productId, const std::wstring& sysfsRoot) {
  const std::filesystem::path devices = std::filesystem::path(NativePath(sysfsRoot)) / "bus" / "usb" / "devices";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(devices, error)) {
    const std::filesystem::path device = entry.path();
    if (ReadHexAttribute(device / "idVendor") != kUpdateVendorId) continue;
    if (productId != -1 && ReadHexAttribute(device / "idProduct") != productId) continue;
    if (HasMassStorageInterface(device)) return true;
  }
  return false;
}

}  // namespace kl::platform
