#include "app/device/HidDeviceSet.h"

#include "base/Encoding.h"

namespace kl {

namespace {

// What the keyboard needs before its reply to the probe can be read.
constexpr int kProbeReplyWaitMs = 10;
constexpr int kProbeReadTimeoutMs = 10;
constexpr int kAuxiliaryInterfaceNumber = 3;  // "&MI_03" in a Windows interface path

bool IsVendorCollection(const HidDeviceInfo& info) {
  return (info.usagePage == 0xFF02 && info.usage == 2) || (info.usagePage == 0xFF01 && info.usage == 1);
}

}  // namespace

HidDeviceSet::HidDeviceSet(IHidBackend& backend, const Clock& clock) : m_backend(backend), m_clock(clock) {}

HidDeviceSet::~HidDeviceSet() { CloseAll(); }

void HidDeviceSet::OpenAll() {
  std::lock_guard guard(m_lock);
  CloseAllLocked();
  for (const HidDeviceInfo& info : m_backend.Enumerate()) {
    // String descriptors are never read, so every interface has an empty product string.
    if (!IsKnownInterface(info.vendorId, info.productId, std::wstring())) continue;
    std::unique_ptr<IHidDevice> device = m_backend.Open(info.path);
    if (!device) continue;
    if (!IsVendorCollection(info)) continue;  // closed by going out of scope
    if (info.interfaceNumber == kAuxiliaryInterfaceNumber) {
      m_auxiliaryInterface = std::move(device);
      continue;
    }
    Entry entry;
    entry.info.index = static_cast<int>(m_interfaces.size());
    entry.info.vendorId = info.vendorId;
    entry.info.productId = info.productId;
    entry.info.path = info.path.substr(0, 1024);
    entry.info.releaseNumber = info.releaseNumber;
    entry.info.deviceType = LookupDeviceType(info.vendorId, info.productId);
    entry.info.mode = LookupMode(info.vendorId, info.productId);
    entry.info.online = Probe(*device) ? 1 : 0;
    entry.handle = std::move(device);
    m_interfaces.push_back(std::move(entry));
  }
  m_opened = true;
  m_selectedDeviceType = 0;
  m_writeInterface = -1;
}

// Online means a keyboard answered the status query with a non-zero link. Only a status
// reply counts: a stray or garbled report is not an answer.
bool HidDeviceSet::Probe(IHidDevice& device) {
  Report report{};
  const Command query = MakeCommand300(0x0E);
  std::copy(query.begin(), query.end(), report.begin() + 1);
  if (device.Write(report.data(), report.size()) < 2) return false;
  m_clock.SleepMs(kProbeReplyWaitMs);
  Report reply{};
  const int read = device.Read(reply.data(), reply.size(), kProbeReadTimeoutMs);
  if (read <= 0) return false;
  const auto status = ParseStatusReply(reply.data(), static_cast<size_t>(read));
  return status && status->link != 0;
}

void HidDeviceSet::CloseAll() {
  std::lock_guard guard(m_lock);
  CloseAllLocked();
}

void HidDeviceSet::CloseAllLocked() {
  m_opened = false;
  m_interfaces.clear();  // each handle closes with its record
  m_auxiliaryInterface.reset();
  m_writeInterface = -1;
}

bool HidDeviceSet::IsOpened() const {
  std::lock_guard guard(m_lock);
  return m_opened;
}

void HidDeviceSet::AddModeFilter(const ModeFilter& filter) {
  std::lock_guard guard(m_lock);
  m_modeFilters.push_back(filter);
}

// The filters are only appended while config.xml is read, before any thread uses the set;
// the look-ups below are also called from inside OpenAll with the lock held.
bool HidDeviceSet::IsKnownInterface(int vendorId, int productId, const std::wstring& productString) const {
  for (const ModeFilter& f : m_modeFilters)
    if (f.vendorId == vendorId && f.productId == productId && (f.name.empty() || f.name == productString))
      return true;
  return false;
}

int HidDeviceSet::LookupDeviceType(int vendorId, int productId) const {
  for (const ModeFilter& f : m_modeFilters)
    if (f.vendorId == vendorId && f.productId == productId) return f.deviceType;
  return 0;
}

int HidDeviceSet::LookupMode(int vendorId, int productId) const {
  for (const ModeFilter& f : m_modeFilters)
    if (f.vendorId == vendorId && f.productId == productId) return f.mode;
  return 0;
}

bool HidDeviceSet::ListInterfaces(std::vector<DeviceInterface>& out) const {
  std::lock_guard guard(m_lock);
  if (m_interfaces.empty()) return false;
  for (const Entry& e : m_interfaces)
    if (Matches(e)) out.push_back(e.info);
  return true;
}

int HidDeviceSet::FindOnlineInterface(int vendorId, int productId, const std::wstring& productName, int mode) const {
  std::lock_guard guard(m_lock);
  for (size_t i = 0; i < m_interfaces.size(); ++i) {
    const DeviceInterface& d = m_interfaces[i].info;
    if (d.vendorId == vendorId && d.productId == productId && d.mode == mode && d.online == 1 &&
        (productName.empty() || d.productString == productName))
      return static_cast<int>(i);
  }
  return -1;
}

void HidDeviceSet::SelectDeviceType(int deviceType) {
  std::lock_guard guard(m_lock);
  m_selectedDeviceType = deviceType;
  m_writeInterface = -1;
}

int HidDeviceSet::SelectedDeviceType() const {
  std::lock_guard guard(m_lock);
  return m_selectedDeviceType;
}

bool HidDeviceSet::Matches(const Entry& entry) const {
  return m_selectedDeviceType == 0 || entry.info.deviceType == m_selectedDeviceType;
}

int HidDeviceSet::FindLocked(int mode, bool needOnline) const {
  for (size_t i = 0; i < m_interfaces.size(); ++i) {
    const DeviceInterface& d = m_interfaces[i].info;
    if (d.deviceType == m_selectedDeviceType && d.mode == mode && (!needOnline || d.online == 1))
      return static_cast<int>(i);
  }
  return -1;
}

IHidDevice* HidDeviceSet::WriteHandleLocked() {
  if (m_writeInterface < 0) {
    m_writeInterface = FindLocked(0, true);
    if (m_writeInterface < 0) m_writeInterface = FindLocked(2, true);
  }
  return m_writeInterface < 0 ? nullptr : m_interfaces[static_cast<size_t>(m_writeInterface)].handle.get();
}

int HidDeviceSet::GetWriteInterface() {
  std::lock_guard guard(m_lock);
  WriteHandleLocked();
  return m_writeInterface;
}

int HidDeviceSet::GetConnectionMode() const {
  std::lock_guard guard(m_lock);
  if (FindLocked(0, true) >= 0) return 0;
  if (FindLocked(2, true) >= 0) return 2;
  return -1;
}

bool HidDeviceSet::GetFirmwareRelease(int& release) const {
  std::lock_guard guard(m_lock);
  for (int mode : {0, 1, 2}) {
    const int i = FindLocked(mode, false);
    if (i >= 0) {
      release = m_interfaces[static_cast<size_t>(i)].info.releaseNumber;
      return true;
    }
  }
  return false;
}

bool HidDeviceSet::GetReceiverRelease(int& release) const {
  std::lock_guard guard(m_lock);
  const int i = FindLocked(2, false);
  if (i < 0) return false;
  release = m_interfaces[static_cast<size_t>(i)].info.releaseNumber;
  return true;
}

}  // namespace kl
