// The virtual keyboard: the firmware side of the report protocol behind IHidBackend.
//
// It models one keyboard of device type 301 that reaches the computer through a USB cable, a
// 2.4 GHz receiver, or both. Each plugged port shows the interfaces a real one has:
//
// | MI | usage page / usage | role                                                    |
// |----|--------------------|---------------------------------------------------------|
// | 00 | 0x0001 / 0x06      | keyboard (boot keyboard reports; writes are LED state)   |
// | 01 | 0x000C / 0x01      | consumer control                                        |
// | 02 | 0xFF02 / 0x02      | vendor command interface: every command and reply        |
// | 03 | 0xFF01 / 0x01      | auxiliary vendor interface; accepts writes, never answers |
//
// Paths are Windows-style interface names ("\\?\HID#VID_FFF0&PID_0640&MI_02#VKB-CABLE-1"),
// so the configuration's interface patterns match them. Replugging a port gives new paths
// and makes every handle opened before the unplug fail.
//
// The command interface speaks the 300-series protocol completely (state below), answers
// only 0x0E (status: battery, link) and 0x09 (start of host colour frames), and sends an
// unsolicited status report when its link or the battery changes. Of the 200 and 100 series
// it keeps what the key uploads write (slot table, slot blocks, key table, macro pieces);
// their other reports are logged without effect on the state. A receiver whose keyboard
// is off has link 0: it still answers 0x0E, with link 0, and drops every other command.
//
// Timings: a reply becomes readable 1 ms (keyboard clock) after its command, well within the
// 10 ms reads of the transport; injected faults make it late or drop it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "base/IHidBackend.h"
#include "vkb/ReportLog.h"

namespace kl::vkb {

constexpr int kCommandInterface = 2;
constexpr int kAuxiliaryInterface = 3;
constexpr int kFrameBytes = 324;  // 108 light indexes, 3 bytes each
constexpr int kBlockBytes = 162;  // one key's macro or shortcut block
constexpr int kSlotBlockBytes = 168;   // 200 series: one macro slot's block (28 x 6 bytes)
constexpr int kKeyTable100Bytes = 240;  // 100 series: the key table the keyboard takes
constexpr int kMacro100Bytes = 1200;    // 100 series: one macro slot

// What the keyboard remembers from 300-series commands.
struct FirmwareState {
  std::array<std::array<uint8_t, 256>, 2> keyFunctions{};  // [layer][key code], 0x04
  std::map<std::pair<int, int>, std::array<uint8_t, kBlockBytes>> keyBlocks;  // (layer, key code)
  int lightMode = -1;                    // 0x07 byte 6 (mode index - 1); -1 until set
  std::array<uint8_t, 4> lightParams{};  // 0x07 bytes 7..10
  bool customMode = false;               // 0x0B
  int frameStarts = 0;                   // 0x09
  int lightButtonPresses = 0;            // 0x0A
  std::array<uint8_t, kFrameBytes> customFrame{};  // 0xF6..0xFB, taken when complete
  std::array<uint8_t, kFrameBytes> liveFrame{};    // 0xF0..0xF5, taken when complete
  int customFrames = 0;
  int liveFrames = 0;
  int sleepTime = -1;        // 0x0C
  int keyResponseTime = -1;  // 0x0D
  int fnSwitch = 0;          // 0x10
  int factoryResets = 0;     // 0x08
  int keyResets = 0;         // 0x0F
  uint8_t battery = 80;

  // 200 series (feature reports, report ID 7). The slot table as 07 FB 01 reads it back:
  // byte i (1..13) the key code of macro slot i, byte 13 + i (14..23) that of key slot i;
  // 0 is a free slot. The exchange that opens with AA 55 CC 0F empties every slot.
  std::array<uint8_t, 28> slotTable{};
  std::map<int, std::array<uint8_t, kSlotBlockBytes>> slotBlocks;  // 07 F1 + 27 x 07 00, by macro slot
  std::map<int, std::pair<int, int>> keySlots;                     // 07 FA: slot -> (key code, value)
  // 100 series (output reports). 0x8D chunks land at their offset (bytes 3..4), each with the
  // 60 bytes it carries; 0x8E pieces put their 59 bytes at their offset in the slot of byte 5.
  std::array<uint8_t, kKeyTable100Bytes> keyTable100{};
  int keyTableChunks100 = 0;
  std::map<int, std::array<uint8_t, kMacro100Bytes>> macros100;
};

enum class Fault {
  FailWrite,         // the next write on the port's command interface fails (-1)
  ShortWrite,        // the next write transfers nothing (0)
  NoReply,           // the next reply is not sent
  LateReply,         // the next reply becomes readable `delayMs` after its command
  UnplugAfterWrite,  // the port is unplugged right after the next write is taken
};

struct Identity {
  uint16_t vendorId = 0xFFF0;
  uint16_t cableProductId = 0x0640;
  uint16_t receiverProductId = 0x0641;
  uint16_t cableRelease = 0x0107;
  uint16_t receiverRelease = 0x0203;
};

class VirtualKeyboard : public IHidBackend {
 public:
  explicit VirtualKeyboard(const Clock& clock, Identity identity = {});
  ~VirtualKeyboard() override;
  VirtualKeyboard(const VirtualKeyboard&) = delete;
  VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

  std::vector<HidDeviceInfo> Enumerate() override;
  std::unique_ptr<IHidDevice> Open(const std::string& path) override;

  // Plugging. A port starts unplugged; the cable's link is 3, the receiver's 1 (keyboard on).
  void Plug(Port port);
  void Unplug(Port port);
  bool IsPlugged(Port port) const;

  // Link byte of a port's status (0 none, 1 receiver, 3 cable). A change on a plugged port is
  // announced by an unsolicited status report on its command interface.
  void SetLink(Port port, uint8_t link);
  // Battery percent (values above 100 are sent as they are); announced on every linked port.
  void SetBattery(uint8_t level);

  void InjectFault(Port port, Fault fault, int64_t delayMs = 0);

  FirmwareState State() const;
  std::vector<LogEntry> Log() const;
  void ClearLog();
  const Identity& Ids() const { return m_identity; }

  // Update mode: the keyboard or the receiver shows up as a USB mass-storage device of
  // vendor 0xFFF0. Written as a sysfs tree under `sysfsRoot` (bus/usb/devices/...), the
  // way the drive probe reads the real one. False when the files cannot be written.
  static bool SetUpdateModeDrive(const std::filesystem::path& sysfsRoot, uint16_t productId, bool present);

  struct Shared;  // state shared with the open handles

 private:
  std::shared_ptr<Shared> m_shared;
  Identity m_identity;
};

}  // namespace kl::vkb
