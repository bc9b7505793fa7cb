#include "app/device/DeviceConnection.h"

#include "base/CString.h"
#include "platform/UpdateDrives.h"

namespace kl {

namespace {

constexpr int kTextConnected = 60;
constexpr int kTextNoKeyboard = 61;
constexpr int kTextKeyboardName = 51;
constexpr int64_t kStatusQueryPeriodMs = 5000;
// The HID-over-GATT service in the interface name of a Bluetooth LE keyboard.
constexpr std::wstring_view kBluetoothLeMarker = L"00001812-0000-1000-8000-00805F9B34FB";
constexpr int kKeyboardUpdateProductId = 0x2342;
constexpr int kReceiverUpdateProductId = 0x3442;

bool InSeries300(int deviceType) { return deviceType >= 300 && deviceType <= 399; }

}  // namespace

DeviceConnection::DeviceConnection(HidDeviceSet& devices, IConnectionView& view, std::vector<DeviceEntry> modes,
                                   std::wstring sysfsRoot)
    : m_devices(devices), m_view(view), m_sysfsRoot(std::move(sysfsRoot)), m_modes(std::move(modes)) {}

HotPlugEvent DeviceConnection::PendingEvent() const {
  std::lock_guard guard(m_lock);
  return m_pending;
}

bool DeviceConnection::IsModeConnected(size_t index) const {
  std::lock_guard guard(m_lock);
  return index < m_modes.size() && m_modes[index].connected != 0;
}

void DeviceConnection::RefreshDeviceList() {
  m_keyboardConnected = false;
  m_devices.OpenAll();
  std::vector<DeviceInterface> listed;
  m_interfacesFound = m_devices.ListInterfaces(listed);
  m_view.ResetAllDeviceStates();

  std::vector<int> connectedTypes;
  {
    std::lock_guard guard(m_lock);
    for (DeviceEntry& entry : m_modes) {
      if (m_devices.FindOnlineInterface(entry.vendorId, entry.productId, entry.name, entry.mode) < 0) continue;
      m_keyboardConnected = true;
      entry.connected = 1;
      connectedTypes.push_back(entry.deviceType);
    }
  }
  for (int type : connectedTypes) m_view.SetDeviceState(type, 1);

  // A drive in update mode starts its updater once per appearance, not on every refresh
  // while it stays plugged in.
  const std::pair<int, int> drives[2] = {{kKeyboardUpdateProductId, kTaskKeyboardFirmwareUpdate},
                                         {kReceiverUpdateProductId, kTaskReceiverFirmwareUpdate}};
  for (size_t i = 0; i < 2; ++i) {
    const bool present = platform::ProbeUpdateModeDrives(drives[i].first, m_sysfsRoot);
    if (present && !m_updateDrivePresent[i]) m_view.QueueTask(drives[i].second);
    m_updateDrivePresent[i] = present;
  }
}

void DeviceConnection::ShowNoKeyboard(bool hidePageArea) {
  m_view.SetStatusText(kTextNoKeyboard);
  m_view.SelectTab(0);
  m_view.ShowTabs(false);
  if (hidePageArea) m_view.ShowPageArea(false);
  m_view.ShowBattery(false);
  m_view.ShowModeIcon(false);
  m_view.SetDeviceName(0);
  m_view.SetPicture(std::wstring());
}

void DeviceConnection::UpdateConnectionStatus() {
  m_view.CloseSecondaryWindows();
  if (!m_interfacesFound) {
    ShowNoKeyboard(false);
  } else {
    m_devices.SelectDeviceType(m_deviceType);
    const int mode = m_devices.GetConnectionMode();
    m_connectionMode = mode;
    m_view.SetStatusText(kTextConnected);
    m_view.ApplyPageSet(m_deviceType);
    if (mode == 0 || ((mode == 1 || mode == 2) && m_keyboardConnected)) {
      m_view.ShowTabs(true);
      m_view.ShowPageArea(true);
      m_view.ShowBattery(true);
      m_view.SetModeIcon(mode == 0 ? L"icon\\mode_usb.png" : L"icon\\mode_24g.png");
      m_view.ShowModeIcon(true);
      m_view.SetDeviceName(kTextKeyboardName);
      m_view.SetPicture(L"icon\\icon_keyboard.png");
      m_view.SelectTab(1);
      if (mode == 0) {
        m_view.QueueTask(kTaskFirmwareCheck);
        m_view.QueueTask(kTaskReceiverFirmwareCheck);
      }
      m_view.QueueTask(kTaskSyncPages);
    } else {
      // A receiver without its keyboard, or interfaces that no keyboard answers on: the
      // pages of a keyboard that is not there must not stay usable.
      if (mode == 1 || mode == 2) m_view.SetModeIcon(L"icon\\mode_24g.png");
      ShowNoKeyboard(true);
    }
  }
  std::lock_guard guard(m_lock);
  m_pending = HotPlugEvent{};
}

bool DeviceConnection::TakeStatus(int link, int battery, bool linkZeroDisconnects) {
  const bool wasConnected = m_keyboardConnected;
  const int mode = m_connectionMode;
  if (linkZeroDisconnects) {
    if (link == 0) m_keyboardConnected = false;
  } else {
    m_keyboardConnected = link == 1 || link == 3;
  }
  if (link != 0 && battery <= 100) m_view.SetBatteryInfo(battery);
  return m_keyboardConnected != wasConnected || LinkToMode(link, mode) != mode;
}

void DeviceConnection::StatusPoll() {
  bool refresh = false;
  if (InSeries300(m_deviceType)) {
    // Reports the keyboard sends on its own: link or battery changes. A late reply to some
    // other command is not a status report.
    Report buffer{};
    if (m_devices.PollReply(buffer)) {
      if (const auto status = ParseStatusReply(buffer.data(), buffer.size()))
        refresh = TakeStatus(status->link, status->battery, true);
    }
  }
  if (refresh) {
    RefreshDeviceList();
    UpdateConnectionStatus();
  }

  const int64_t now = m_devices.GetClock().NowMs();
  if (!m_pollStarted) {
    m_pollStarted = true;
    m_lastQueryMs = now;
  }
  if (now - m_lastQueryMs < kStatusQueryPeriodMs) return;
  m_lastQueryMs = now;
  Command query = MakeCommand300(0x0E);
  if (!m_devices.SendCommand(query, true)) {
    // No answer: the open interfaces are stale (unplugged, or the keyboard went away).
    RefreshDeviceList();
    UpdateConnectionStatus();
    return;
  }
  const auto status = ParseStatusReply(query.data(), query.size());
  if (status && TakeStatus(status->link, status->battery, false)) {
    RefreshDeviceList();
    UpdateConnectionStatus();
  }
}

void DeviceConnection::QueryBattery() {
  if (m_deviceType < 300 || m_deviceType > 400) return;
  Command query = MakeCommand300(0x0E);
  if (!m_devices.QueryCommand(query)) return;
  // Only a status reply carries a battery level; a stray report read in its place does not.
  const auto status = ParseStatusReply(query.data(), query.size());
  if (status && status->battery <= 100) m_view.SetBatteryInfo(status->battery);
}

void DeviceConnection::OnDeviceChange(DeviceChange change, std::wstring_view interfaceName) {
  CString name{std::wstring(interfaceName)};
  name.MakeUpper();
  int task = 0;
  {
    std::lock_guard guard(m_lock);
    for (DeviceEntry& entry : m_modes) {
      if (change == DeviceChange::Removal && !entry.connected) continue;
      if (name.Find(kBluetoothLeMarker) >= 0) return;  // Bluetooth keyboards are not configured
      CString pattern{entry.interfacePattern};
      pattern.MakeUpper();
      if (name.Find(pattern) < 0) continue;
      if (change == DeviceChange::Arrival) {
        m_pending = HotPlugEvent{1, entry.deviceType};
        task = kTaskDeviceArrival;
      } else {
        entry.connected = 0;
        m_pending = HotPlugEvent{2, entry.mode};
        task = kTaskDeviceRemoval;
      }
      break;
    }
  }
  if (task) m_view.QueueTask(task);
}

}  // namespace kl
