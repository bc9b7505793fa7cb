// The narrow HID interface the device layer talks through. The program uses the hidapi
// backend (platform) for real keyboards; the virtual keyboard (vkb) implements the same
// interface so that tests and `--virtual-keyboard` run the same device code.
//
// Report buffers follow hidapi: writes and feature reports carry the report ID in byte 0; an
// input report of a device without numbered reports is delivered without its report ID.
// Every call returns a result that the caller checks; none throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kl {

// One HID interface as enumeration reports it. String descriptors are never read.
struct HidDeviceInfo {
  std::string path;         // what Open takes
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t releaseNumber = 0;  // bcdDevice
  int interfaceNumber = -1;    // USB interface number, -1 when unknown
  uint16_t usagePage = 0;      // of the top-level collection
  uint16_t usage = 0;
};

// An open interface. Destroying it closes the handle.
class IHidDevice {
 public:
  virtual ~IHidDevice() = default;
  // Writes one output report (byte 0 = report ID). Bytes transferred, or -1.
  virtual int Write(const uint8_t* data, size_t length) = 0;
  // Reads one input report, waiting at most `timeoutMs`. Bytes read, 0 on timeout, -1 on error.
  // A report that arrives after a read timed out is delivered by the next read.
  virtual int Read(uint8_t* data, size_t length, int timeoutMs) = 0;
  // Feature reports, byte 0 = report ID. Bytes transferred, or -1.
  virtual int SendFeatureReport(const uint8_t* data, size_t length) = 0;
  virtual int GetFeatureReport(uint8_t* data, size_t length) = 0;
  // The text of the last failure on this handle, empty when none.
  virtual std::wstring ErrorText() const = 0;
};

class IHidBackend {
 public:
  virtual ~IHidBackend() = default;
  // Every HID interface of the system, in the system's order.
  virtual std::vector<HidDeviceInfo> Enumerate() = 0;
  // Opens an enumerated path for reading and writing; null on failure.
  virtual std::unique_ptr<IHidDevice> Open(const std::string& path) = 0;
};

// The upper-case Windows-style interface name the configuration's interface patterns are
// written against: "\\?\HID#VID_FFF0&PID_0640&MI_02#<instance>".
inline std::string HidInterfaceName(uint16_t vendorId, uint16_t productId, int interfaceNumber,
                                    std::string_view instance) {
  char head[48];
  std::snprintf(head, sizeof head, "\\\\?\\HID#VID_%04X&PID_%04X&MI_%02X#", vendorId, productId,
                static_cast<unsigned>(interfaceNumber < 0 ? 0 : interfaceNumber) & 0xFFu);
  std::string name = head;
  for (char c : instance) name.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  return name;
}

}  // namespace kl
