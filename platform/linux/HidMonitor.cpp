#include "platform/HidMonitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "base/Encoding.h"
#include "base/IHidBackend.h"

namespace kl::platform {

namespace {

constexpr unsigned kBusUsb = 0x0003;
constexpr unsigned kBusBluetooth = 0x0005;

std::vector<std::string_view> Split(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// "0003:FFF0:0640.0005": bus, vendor, product, instance.
bool ParseHidComponent(std::string_view part, unsigned& bus, unsigned& vendor, unsigned& product, std::string& instance) {
  if (part.size() != 19 || part[4] != ':' || part[9] != ':' || part[14] != '.') return false;
  const std::string text(part);
  char tail[8] = {};
  if (std::sscanf(text.c_str(), "%4x:%4x:%4x.%4[0-9A-Fa-f]", &bus, &vendor, &product, tail) != 4) return false;
  instance = tail;
  for (char& c : instance) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return true;
}

// "1-2:1.2" (bus-port:configuration.interface): the interface number; -1 when not one.
int InterfaceNumber(std::string_view part) {
  const size_t colon = part.find(':');
  const size_t dot = part.rfind('.');
  if (colon == std::string_view::npos || dot == std::string_view::npos || dot < colon || dot + 1 >= part.size())
    return -1;
  int number = 0;
  for (char c : part.substr(dot + 1)) {
    if (c < '0' || c > '9' || number > 255) return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

}  // namespace

std::wstring HidInterfaceNameFromDevpath(std::string_view devpath) {
  const std::vector<std::string_view> parts = Split(devpath);
  for (size_t i = 0; i < parts.size(); ++i) {
    unsigned bus = 0, vendor = 0, product = 0;
    std::string instance;
    if (!ParseHidComponent(parts[i], bus, vendor, product, instance)) continue;
    if (bus == kBusBluetooth) {
      char name[96];
      std::snprintf(name, sizeof name, "\\\\?\\HID#{00001812-0000-1000-8000-00805F9B34FB}_DEV_VID&02%04X_PID&%04X#%s",
                    vendor, product, instance.c_str());
      return Utf8ToWide(name);
    }
    if (bus != kBusUsb) return std::wstring();
    const int mi = i > 0 ? InterfaceNumber(parts[i - 1]) : -1;
    return Utf8ToWide(HidInterfaceName(static_cast<uint16_t>(vendor), static_cast<uint16_t>(product), mi < 0 ? 0 : mi, instance));
  }
  return std::wstring();
}

struct HidMonitor::Impl {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  int stopEvent = -1;
  std::thread thread;
  std::string source;

  ~Impl() {
    if (monitor) udev_monitor_unref(monitor);
    if (context) udev_unref(context);
    if (stopEvent >= 0) close(stopEvent);
  }

  void Run(const Callback& callback) {
    pollfd fds[2] = {{udev_monitor_get_fd(monitor), POLLIN, 0}, {stopEvent, POLLIN, 0}};
    for (;;) {
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents) return;
      if (!(fds[0].revents & POLLIN)) continue;
      udev_device* device = udev_monitor_receive_device(monitor);
      if (!device) continue;
      const char* action = udev_device_get_action(device);
      const char* devpath = udev_device_get_devpath(device);
      if (action && devpath) {
        const std::string a = action;
        const std::wstring name = HidInterfaceNameFromDevpath(devpath);
        if (!name.empty() && (a == "add" || a == "remove")) {
          try {
            callback(a == "add" ? HidChange::Arrival : HidChange::Removal, name);
          } catch (...) {
            // the receiver's failure must not end the monitor thread
          }
        }
      }
      udev_device_unref(device);
    }
  }
};

HidMonitor::HidMonitor() = default;

HidMonitor::~HidMonitor() { Stop(); }

bool HidMonitor::Start(Callback callback) {
  if (m_impl) return false;
  auto impl = std::make_unique<Impl>();
  impl->context = udev_new();
  if (!impl->context) return false;
  // Events come from the udev daemon once it has processed them; without one, from the kernel.
  impl->source = access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
  impl->monitor = udev_monitor_new_from_netlink(impl->context, impl->source.c_str());
  if (!impl->monitor) return false;
  if (udev_monitor_filter_add_match_subsystem_devtype(impl->monitor, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(impl->monitor) < 0)
    return false;
  impl->stopEvent = eventfd(0, EFD_CLOEXEC);
  if (impl->stopEvent < 0) return false;
  Impl* raw = impl.get();
  raw->thread = std::thread([raw, callback = std::move(callback)] { raw->Run(callback); });
  m_impl = std::move(impl);
  return true;
}

void HidMonitor::Stop() {
  if (!m_impl) return;
  const uint64_t one = 1;
  // An eventfd write of 1 fails only on counter overflow, which one stop cannot reach.
  const ssize_t written = write(m_impl->stopEvent, &one, sizeof one);
  (void)written;
  if (m_impl->thread.joinable()) m_impl->thread.join();
  m_impl.reset();
}

std::string HidMonitor::Source() const { return m_impl ? m_impl->source : std::string(); }

}  // namespace kl::platform
