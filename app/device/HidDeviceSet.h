// The keyboard interfaces the program has open, and the report transport over them.
//
// OpenAll enumerates every HID interface, keeps the vendor interfaces of the keyboards that
// config.xml names (usage page 0xFF02/usage 2 or 0xFF01/usage 1), opens them and asks each
// whether a keyboard answers behind it (the status query 0x0E). The auxiliary interface
// (USB interface 3, "&MI_03" in a Windows path) is held open but never listed or written.
// Writes go to the first online interface of the selected device type, cable before receiver.
//
// Threads: the worker refreshes the set and runs the status poll while the window thread
// sends a few single reports directly. One mutex guards the lists and is held for every
// exchange (a write and the read of its reply) and for OpenAll/CloseAll, so no thread ever
// uses a closed handle and no reply is taken by the other thread's read. Nothing here waits
// on the window thread.
//
// Transport pacing (milliseconds on the set's clock):
//
// | operation            | sequence                                                        |
// |----------------------|-----------------------------------------------------------------|
// | SendFeatureReport    | 16, send 65-byte feature report                                 |
// | ExchangeShortFeature | send 8-byte feature; 4 x (16, get 8 bytes, keep bytes 1..7)     |
// | WriteRawReport       | write 65 bytes; on nothing written: 10, write again             |
// | WriteCommand         | write ID 0 + command; on nothing written: 32, write again       |
// | SendCommand          | write; on failure 10, write again; with reply: 100, read <= 500 |
// | QueryCommand         | write; on failure 10, write again; read <= 10                   |
// | PollReply            | read <= 10 from the write interface, or from each listed one    |
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/config/Configuration.h"
#include "app/device/Protocol.h"
#include "base/Clock.h"
#include "base/IHidBackend.h"

namespace kl {

// One accepted, opened vendor interface as the set lists it (a copy: the handle stays inside
// the set).
struct DeviceInterface {
  int index = 0;  // position in the list
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::string path;           // as enumerated
  std::wstring productString; // always empty: string descriptors are not read
  int releaseNumber = 0;      // bcdDevice, the firmware version
  int deviceType = 0;         // of the first filter with this vendor and product ID, 0 if none
  int mode = 0;               // 0 cable, 2 receiver
  int online = 0;             // 1 when a keyboard answered the status query with a link
};

class HidDeviceSet {
 public:
  HidDeviceSet(IHidBackend& backend, const Clock& clock);
  ~HidDeviceSet();
  HidDeviceSet(const HidDeviceSet&) = delete;
  HidDeviceSet& operator=(const HidDeviceSet&) = delete;

  // Closes what is open, enumerates, filters, opens and probes. Afterwards the set is opened,
  // the selected device type is 0 (any) and no write interface is chosen.
  void OpenAll();
  // Closes every interface and clears the lists; transport operations then fail.
  void CloseAll();
  bool IsOpened() const;

  void AddModeFilter(const ModeFilter& filter);
  bool IsKnownInterface(int vendorId, int productId, const std::wstring& productString) const;
  int LookupDeviceType(int vendorId, int productId) const;
  int LookupMode(int vendorId, int productId) const;

  // Appends the listed interfaces (of the selected device type unless it is 0); false when
  // none is listed.
  bool ListInterfaces(std::vector<DeviceInterface>& out) const;
  // Position of the first online interface with these IDs, mode and (when not empty)
  // product name; -1 when none.
  int FindOnlineInterface(int vendorId, int productId, const std::wstring& productName, int mode) const;

  // Selecting a device type forgets the chosen write interface.
  void SelectDeviceType(int deviceType);
  int SelectedDeviceType() const;
  // Position of the interface writes go to (first online cable, else first online receiver,
  // of the selected device type), -1 when none. The choice is kept until the next refresh.
  int GetWriteInterface();
  // 0 when a cable interface of the selected type is online, else 2 for a receiver, else -1.
  int GetConnectionMode() const;
  // Release of the first interface of the selected type with mode 0, else 1, else 2.
  bool GetFirmwareRelease(int& release) const;
  // Release of the first interface of the selected type with mode 2.
  bool GetReceiverRelease(int& release) const;

  // Transport (see the table above). All return false when the set is not opened or there
  // is no write interface.
  bool SendFeatureReport(const Report& report);
  bool ExchangeShortFeature(const ShortFeature& request, ShortFeatureResult& result);
  bool WriteRawReport(const Report& report);
  bool WriteCommand(const Command& command);
  // With `waitForReply`, the reply (report ID removed, first 64 bytes) replaces `command`.
  bool SendCommand(Command& command, bool waitForReply);
  // The reply, if one was read, replaces `command`.
  bool QueryCommand(Command& command);
  // Reads one waiting input report into `buffer` (report ID removed).
  bool PollReply(Report& buffer);

  const Clock& GetClock() const { return m_clock; }

 private:
  struct Entry {
    DeviceInterface info;
    std::unique_ptr<IHidDevice> handle;
  };

  void CloseAllLocked();
  bool Probe(IHidDevice& device);
  IHidDevice* WriteHandleLocked();
  int FindLocked(int mode, bool needOnline) const;
  bool Matches(const Entry& entry) const;
  // Writes `report`; when nothing was transferred, waits `retryMs` and writes once more.
  int WriteWithRetry(IHidDevice& device, const uint8_t* report, int retryMs);

  IHidBackend& m_backend;
  const Clock& m_clock;
  mutable std::mutex m_lock;
  bool m_opened = false;
  std::vector<Entry> m_interfaces;
  std::vector<ModeFilter> m_modeFilters;
  int m_selectedDeviceType = 0;
  int m_writeInterface = -1;  // position in m_interfaces, -1 when not chosen yet
  std::unique_ptr<IHidDevice> m_auxiliaryInterface;
};

}  // namespace kl
