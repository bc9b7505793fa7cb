// Arrival and removal of HID interfaces, reported with the Windows-style upper-case interface
// name the configuration's patterns are written against
// ("\\?\HID#VID_FFF0&PID_0640&MI_02#0005").
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kl::platform {

enum class HidChange { Arrival, Removal };

// The interface name for a hidraw device's sysfs path (udev's DEVPATH), e.g.
// ".../usb1/1-2/1-2:1.2/0003:FFF0:0640.0005/hidraw/hidraw3". A Bluetooth device (bus 0005)
// gets the HID-over-GATT service in its name, as it has in a Windows path. Empty when the
// path names no HID device.
std::wstring HidInterfaceNameFromDevpath(std::string_view devpath);

// Watches subsystem "hidraw" through libudev: events from the udev daemon when one runs
// ("udev" source), otherwise straight from the kernel ("kernel" source).
class HidMonitor {
 public:
  // Called on the monitor's own thread; the receiver posts to the window thread.
  using Callback = std::function<void(HidChange change, const std::wstring& interfaceName)>;

  HidMonitor();
  ~HidMonitor();  // stops the thread
  HidMonitor(const HidMonitor&) = delete;
  HidMonitor& operator=(const HidMonitor&) = delete;

  // Starts watching. False when no monitor can be created (no libudev, no netlink access);
  // the program then relies on the status poll alone.
  bool Start(Callback callback);
  void Stop();
  // "udev" or "kernel" once started, empty before.
  std::string Source() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace kl::platform
