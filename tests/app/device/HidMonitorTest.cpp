#include "platform/HidMonitor.h"

#include <gtest/gtest.h>

#include "base/Encoding.h"

namespace kl::platform {
namespace {

TEST(HidMonitorTest, InterfaceNamesFromSysfsPaths) {
  const std::pair<const char*, const wchar_t*> cases[] = {
      {"/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.2/0003:FFF0:0640.0005/hidraw/hidraw3",
       L"\\\\?\\HID#VID_FFF0&PID_0640&MI_02#0005"},
      {"/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4.1/1-4.1:1.12/0003:fff0:0641.000a/hidraw/hidraw7",
       L"\\\\?\\HID#VID_FFF0&PID_0641&MI_0C#000A"},
      {"/devices/virtual/misc/uhid/0005:FFF0:0640.0009/hidraw/hidraw4",
       L"\\\\?\\HID#{00001812-0000-1000-8000-00805F9B34FB}_DEV_VID&02FFF0_PID&0640#0009"},
      {"/devices/platform/i8042/serio0/0018:04F3:0001.0001/hidraw/hidraw0", L""},  // I2C bus
      {"/devices/virtual/misc/hidraw", L""},
      {"", L""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(HidInterfaceNameFromDevpath(path), name) << path;
}

TEST(HidMonitorTest, StartsAndStopsWhereTheSystemAllows) {
  HidMonitor monitor;
  if (!monitor.Start([](HidChange, const std::wstring&) {})) GTEST_SKIP() << "no udev monitor on this machine";
  const std::string source = monitor.Source();
  EXPECT_TRUE(source == "udev" || source == "kernel") << source;
  EXPECT_FALSE(monitor.Start([](HidChange, const std::wstring&) {})) << "one thread per monitor";
  monitor.Stop();
  EXPECT_EQ(monitor.Source(), "");
}

}  // namespace
}  // namespace kl::platform
