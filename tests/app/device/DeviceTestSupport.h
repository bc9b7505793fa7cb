// A device layer on the virtual keyboard, a recording main window and the shipped
// configuration, for the device and worker tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "app/config/Configuration.h"
#include "app/device/ConnectionView.h"
#include "app/device/DeviceConnection.h"
#include "app/device/HidDeviceSet.h"
#include "base/Clock.h"
#include "vkb/VirtualKeyboard.h"

namespace kl::test {

// Records what the connection logic changes, as "name value" lines, plus the queued tasks.
class RecordingView : public IConnectionView {
 public:
  void CloseSecondaryWindows() override { Add("close-secondary", 1); }
  void SetStatusText(int n) override { Add("status", n); }
  void SelectTab(int i) override { Add("tab", i); }
  void ShowTabs(bool s) override { Add("tabs", s); }
  void ShowPageArea(bool s) override { Add("page-area", s); }
  void ShowBattery(bool s) override { Add("battery", s); }
  void SetModeIcon(const std::wstring& image) override {
    std::lock_guard g(m_lock);
    m_modeIcon = image;
  }
  void ShowModeIcon(bool s) override { Add("mode-icon", s); }
  void SetDeviceName(int n) override { Add("device-name", n); }
  void SetPicture(const std::wstring& image) override { Add("picture", !image.empty()); }
  void ApplyPageSet(int type) override { Add("page-set", type); }
  void ResetAllDeviceStates() override { Add("reset-states", 1); }
  void SetDeviceState(int type, int state) override { Add("device-state", type * 10 + state); }
  void SetBatteryInfo(int level) override { Add("battery-level", level); }
  void QueueTask(int task) override { Add("task", task); }

  // The last value recorded under `name`, or -1.
  int Last(const std::string& name) const {
    std::lock_guard g(m_lock);
    for (auto it = m_events.rbegin(); it != m_events.rend(); ++it)
      if (it->first == name) return it->second;
    return -1;
  }
  std::vector<int> All(const std::string& name) const {
    std::lock_guard g(m_lock);
    std::vector<int> values;
    for (const auto& [n, v] : m_events)
      if (n == name) values.push_back(v);
    return values;
  }
  std::wstring ModeIcon() const {
    std::lock_guard g(m_lock);
    return m_modeIcon;
  }
  void Clear() {
    std::lock_guard g(m_lock);
    m_events.clear();
  }

 private:
  void Add(const char* name, int value) {
    std::lock_guard g(m_lock);
    m_events.emplace_back(name, value);
  }
  mutable std::mutex m_lock;
  std::vector<std::pair<std::string, int>> m_events;
  std::wstring m_modeIcon;
};

inline Configuration ShippedConfiguration() {
  Configuration config;
  EXPECT_TRUE(LoadConfiguration(KL_DATA_DIR_W, config));
  return config;
}

// The device set over a virtual keyboard on a clock 20 times faster than real time.
struct VirtualRig {
  VirtualRig() : keyboard(clock), devices(keyboard, clock) {
    for (const ModeFilter& filter : config.ModeFilters()) devices.AddModeFilter(filter);
  }
  ScaledClock clock{20.0};
  Configuration config = ShippedConfiguration();
  vkb::VirtualKeyboard keyboard;
  HidDeviceSet devices;
};

}  // namespace kl::test
