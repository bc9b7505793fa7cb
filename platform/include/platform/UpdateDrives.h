// Keyboards and receivers waiting for a firmware update show up as USB mass-storage devices
// of vendor 0xFFF0.
#pragma once

#include <string>

namespace kl::platform {

// True when a USB device with vendor 0xFFF0 and `productId` (-1: any product) that has a
// mass-storage interface is present. Linux reads <sysfsRoot>/bus/usb/devices; tests pass a
// folder of their own instead of "/sys".
bool ProbeUpdateModeDrives(int productId, const std::wstring& sysfsRoot = L"/sys");

}  // namespace kl::platform
