// The main window's view of the keyboard: which interfaces were found, whether a keyboard is
// connected and how, and what follows from it (status text, icons, tabs, device list, tasks).
//
// Threads: RefreshDeviceList, UpdateConnectionStatus, StatusPoll and QueryBattery run on the
// worker; OnDeviceChange runs on the window thread. The flags are atomics and the mode list
// with its connected marks and the pending hot-plug event sit under a small lock that is
// never held during device traffic.
//
// Connection display after a refresh:
//
// | interfaces | connection mode | keyboard | status | tabs, battery, mode icon | tasks      |
// |------------|-----------------|----------|--------|--------------------------|------------|
// | none       | -               | -        | 61     | hidden                   | -          |
// | found      | 0 (cable)       | -        | 60     | shown, USB icon          | 15, 16, 5  |
// | found      | 2 (receiver)    | yes      | 60     | shown, 2.4G icon         | 5          |
// | found      | 2 (receiver)    | no       | 61     | hidden                   | -          |
// | found      | -1 (none)       | -        | 61     | hidden                   | -          |
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/config/Configuration.h"
#include "app/device/ConnectionView.h"
#include "app/device/HidDeviceSet.h"

namespace kl {

// Worker task numbers the device layer queues.
enum WorkerTask : int {
  kTaskFirstScan = 1,
  kTaskDeviceArrival = 2,
  kTaskDeviceRemoval = 3,
  kTaskSyncPages = 5,
  kTaskFirmwareCheck = 15,
  kTaskReceiverFirmwareCheck = 16,
  kTaskKeyboardFirmwareUpdate = 18,
  kTaskReceiverFirmwareUpdate = 19,
};

enum class DeviceChange { Arrival, Removal };

// The last hot-plug event that matched a configured interface; cleared by
// UpdateConnectionStatus. Kind 1 arrival (value: device type), 2 removal (value: mode).
struct HotPlugEvent {
  int kind = 0;
  int value = 0;
};

class DeviceConnection {
 public:
  // `modes`: config.xml's mode entries in file order. `sysfsRoot`: where update-mode drives
  // are looked for ("/sys" on a real system).
  DeviceConnection(HidDeviceSet& devices, IConnectionView& view, std::vector<DeviceEntry> modes,
                   std::wstring sysfsRoot);

  // Worker thread.
  void RefreshDeviceList();
  void UpdateConnectionStatus();
  void StatusPoll();
  void QueryBattery();

  // Window thread: a HID interface appeared or went away. `interfaceName` is the
  // Windows-style interface name; the match is made on its upper-cased form.
  void OnDeviceChange(DeviceChange change, std::wstring_view interfaceName);

  bool InterfacesFound() const { return m_interfacesFound; }
  bool KeyboardConnected() const { return m_keyboardConnected; }
  int ConnectionMode() const { return m_connectionMode; }
  int DeviceType() const { return m_deviceType; }
  void SetDeviceType(int deviceType) { m_deviceType = deviceType; }
  HotPlugEvent PendingEvent() const;
  bool IsModeConnected(size_t index) const;

 private:
  void ShowNoKeyboard(bool hidePageArea);
  // Applies a status report: link and battery. Returns true when the device list must be
  // rebuilt because the connected flag or the mode changed.
  bool TakeStatus(int link, int battery, bool linkZeroDisconnects);

  HidDeviceSet& m_devices;
  IConnectionView& m_view;
  std::wstring m_sysfsRoot;

  mutable std::mutex m_lock;  // m_modes' connected marks and m_pending
  std::vector<DeviceEntry> m_modes;
  HotPlugEvent m_pending;

  std::atomic<bool> m_interfacesFound{false};
  std::atomic<bool> m_keyboardConnected{false};
  std::atomic<int> m_connectionMode{-1};
  std::atomic<int> m_deviceType{301};

  // Worker-only state.
  bool m_pollStarted = false;
  int64_t m_lastQueryMs = 0;
  bool m_updateDrivePresent[2] = {false, false};  // keyboard, receiver
};

}  // namespace kl
