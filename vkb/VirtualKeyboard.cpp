#include "vkb/VirtualKeyboard.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>

namespace kl::vkb {

namespace {

constexpr uint8_t kMagic[4] = {0xAA, 0x55, 0xCC, 0x33};
constexpr int kReportBytes = 64;  // input reports as the host reads them (no report ID)
constexpr int kSliceBytes = 54;
constexpr int64_t kReplyDelayMs = 1;

struct PendingInput {
  int64_t at = 0;
  std::vector<uint8_t> bytes;
};

struct PortState {
  bool plugged = false;
  int generation = 0;
  uint8_t link = 0;
  std::deque<std::pair<Fault, int64_t>> faults;
};

size_t PortIndex(Port port) { return port == Port::Cable ? 0 : 1; }

}  // namespace

class VirtualDevice;

struct VirtualKeyboard::Shared {
  Shared(const Clock& c, const Identity& i) : clock(c), ids(i) {}

  const Clock& clock;
  Identity ids;
  std::mutex lock;
  std::condition_variable changed;
  std::array<PortState, 2> ports;
  FirmwareState state;
  std::vector<LogEntry> log;
  std::vector<VirtualDevice*> handles;

  // Multi-report transfers in progress: next expected slice, -1 when none is open.
  std::array<uint8_t, kBlockBytes> block{};
  int blockNext = -1;
  std::array<uint8_t, kFrameBytes> custom{};
  int customNext = -1;
  std::array<uint8_t, kFrameBytes> live{};
  int liveNext = -1;

  // 200-series slot table, read back in four 7-byte passes; a slot block in progress.
  int slotPass = 0;
  std::array<uint8_t, kSlotBlockBytes> slotBlock{};
  int slotBlockNext = -1;

  uint16_t ProductId(Port port) const { return port == Port::Cable ? ids.cableProductId : ids.receiverProductId; }
  std::string Path(Port port, int interfaceNumber) const {
    const PortState& p = ports[PortIndex(port)];
    const std::string instance = std::string(port == Port::Cable ? "vkb-cable-" : "vkb-receiver-") +
                                 std::to_string(p.generation);
    return HidInterfaceName(ids.vendorId, ProductId(port), interfaceNumber, instance);
  }
  bool TakeFault(Port port, std::initializer_list<Fault> kinds, Fault& fault, int64_t& delay) {
    auto& faults = ports[PortIndex(port)].faults;
    for (auto it = faults.begin(); it != faults.end(); ++it) {
      if (std::find(kinds.begin(), kinds.end(), it->first) == kinds.end()) continue;
      fault = it->first;
      delay = it->second;
      faults.erase(it);
      return true;
    }
    return false;
  }
  void Record(Port port, int interfaceNumber, Direction direction, std::vector<uint8_t> bytes, int64_t at) {
    log.push_back(LogEntry{at, port, interfaceNumber, direction, std::move(bytes)});
  }
  void Send(Port port, std::vector<uint8_t> bytes, int64_t at);
  void SendStatus(Port port, int64_t at) {
    std::vector<uint8_t> r(kReportBytes, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), r.begin());
    r[4] = 0x0E;
    r[5] = state.battery;
    r[6] = ports[PortIndex(port)].link;
    Send(port, std::move(r), at);
  }
  void Reply(Port port, uint8_t code) {
    Fault fault{};
    int64_t delay = 0;
    int64_t at = clock.NowMs() + kReplyDelayMs;
    if (TakeFault(port, {Fault::NoReply, Fault::LateReply}, fault, delay)) {
      if (fault == Fault::NoReply) return;
      at = clock.NowMs() + delay;
    }
    if (code == 0x0E) {
      SendStatus(port, at);
      return;
    }
    std::vector<uint8_t> r(kReportBytes, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), r.begin());
    r[4] = code;
    Send(port, std::move(r), at);
  }
  void Command300(Port port, const std::vector<uint8_t>& wire);
  void Report100(const std::vector<uint8_t>& wire);
  void Feature200(const std::vector<uint8_t>& report);
  void TakeSlice(std::array<uint8_t, kFrameBytes>& pending, int& next, int slice,
                 std::array<uint8_t, kFrameBytes>& done, int& count, const std::vector<uint8_t>& wire);
  void FactoryReset() {
    const uint8_t battery = state.battery;
    const int resets = state.factoryResets;
    state = FirmwareState{};
    state.battery = battery;
    state.factoryResets = resets + 1;
  }
  void Unplug(Port port) {
    ports[PortIndex(port)].plugged = false;
    changed.notify_all();
  }
};

// An open interface of the virtual keyboard. Reports queued for it are read in order of the
// time they become readable; a late one waits for a later read, as on a real handle.
class VirtualDevice : public IHidDevice {
 public:
  VirtualDevice(std::shared_ptr<VirtualKeyboard::Shared> shared, Port port, int interfaceNumber)
      : m_shared(std::move(shared)), m_port(port), m_interface(interfaceNumber),
        m_generation(m_shared->ports[PortIndex(port)].generation) {
    m_shared->handles.push_back(this);  // the caller holds the lock
  }
  ~VirtualDevice() override {
    std::lock_guard guard(m_shared->lock);
    std::erase(m_shared->handles, this);
  }

  int Write(const uint8_t* data, size_t length) override {
    std::lock_guard guard(m_shared->lock);
    if (!Alive()) return Fail(L"The device is not connected.");
    if (!data || length == 0) return Fail(L"The parameter is incorrect.");
    bool unplugAfter = false;
    if (m_interface == kCommandInterface) {
      Fault fault{};
      int64_t delay = 0;
      if (m_shared->TakeFault(m_port, {Fault::FailWrite, Fault::ShortWrite, Fault::UnplugAfterWrite}, fault, delay)) {
        if (fault == Fault::FailWrite) return Fail(L"A device attached to the system is not functioning.");
        if (fault == Fault::ShortWrite) return 0;
        unplugAfter = true;
      }
    }
    std::vector<uint8_t> wire(data, data + length);
    m_shared->Record(m_port, m_interface, Direction::Out, wire, m_shared->clock.NowMs());
    if (m_interface == kCommandInterface) {
      m_shared->Command300(m_port, wire);
      m_shared->Report100(wire);
    }
    if (unplugAfter) m_shared->Unplug(m_port);
    return static_cast<int>(length);
  }

  int Read(uint8_t* data, size_t length, int timeoutMs) override {
    std::unique_lock guard(m_shared->lock);
    const auto deadline = m_shared->clock.RealDeadline(timeoutMs);
    for (;;) {
      if (!Alive()) return Fail(L"The device is not connected.");
      const int64_t now = m_shared->clock.NowMs();
      if (!m_input.empty() && m_input.front().at <= now) {
        const std::vector<uint8_t> bytes = std::move(m_input.front().bytes);
        m_input.pop_front();
        const size_t n = std::min(length, bytes.size());
        std::copy_n(bytes.begin(), n, data);
        return static_cast<int>(n);
      }
      if (std::chrono::steady_clock::now() >= deadline) return 0;
      auto wake = deadline;
      if (!m_input.empty()) wake = std::min(wake, m_shared->clock.RealDeadline(m_input.front().at - now));
      m_shared->changed.wait_until(guard, wake);
    }
  }

  int SendFeatureReport(const uint8_t* data, size_t length) override {
    std::lock_guard guard(m_shared->lock);
    if (!Alive()) return Fail(L"The device is not connected.");
    if (!data || length == 0) return Fail(L"The parameter is incorrect.");
    std::vector<uint8_t> bytes(data, data + length);
    if (m_interface == kCommandInterface) m_shared->Feature200(bytes);
    m_shared->Record(m_port, m_interface, Direction::FeatureSet, std::move(bytes), m_shared->clock.NowMs());
    return static_cast<int>(length);
  }

  int GetFeatureReport(uint8_t* data, size_t length) override {
    std::lock_guard guard(m_shared->lock);
    if (!Alive()) return Fail(L"The device is not connected.");
    if (!data || length < 8) return Fail(L"The parameter is incorrect.");
    data[0] = 0x07;
    std::copy_n(m_shared->state.slotTable.begin() + 7 * m_shared->slotPass, 7, data + 1);
    m_shared->slotPass = (m_shared->slotPass + 1) % 4;
    m_shared->Record(m_port, m_interface, Direction::FeatureGet, std::vector<uint8_t>(data, data + 8),
                     m_shared->clock.NowMs());
    return 8;
  }

  std::wstring ErrorText() const override {
    std::lock_guard guard(m_shared->lock);
    return m_error;
  }

  // Called with the lock held.
  bool Receives(Port port) const { return m_port == port && m_interface == kCommandInterface && Alive(); }
  void Queue(PendingInput input) {
    auto at = std::upper_bound(m_input.begin(), m_input.end(), input.at,
                               [](int64_t t, const PendingInput& p) { return t < p.at; });
    m_input.insert(at, std::move(input));
  }

 private:
  bool Alive() const {
    const PortState& p = m_shared->ports[PortIndex(m_port)];
    return p.plugged && p.generation == m_generation;
  }
  int Fail(const wchar_t* text) {
    m_error = text;
    return -1;
  }

  std::shared_ptr<VirtualKeyboard::Shared> m_shared;
  Port m_port;
  int m_interface;
  int m_generation;
  std::deque<PendingInput> m_input;
  std::wstring m_error;
};

void VirtualKeyboard::Shared::Send(Port port, std::vector<uint8_t> bytes, int64_t at) {
  Record(port, kCommandInterface, Direction::In, bytes, at);
  for (VirtualDevice* handle : handles)
    if (handle->Receives(port)) handle->Queue(PendingInput{at, bytes});
  changed.notify_all();
}

void VirtualKeyboard::Shared::TakeSlice(std::array<uint8_t, kFrameBytes>& pending, int& next, int slice,
                                        std::array<uint8_t, kFrameBytes>& done, int& count,
                                        const std::vector<uint8_t>& wire) {
  // Slices must come in order 0..5; anything else abandons the frame.
  if (slice == 0) next = 0;
  if (slice != next) {
    next = -1;
    return;
  }
  std::copy_n(wire.begin() + 6, kSliceBytes, pending.begin() + kSliceBytes * slice);
  next = slice + 1;
  if (next == 6) {
    done = pending;
    ++count;
    next = -1;
  }
}

// 300-series commands. Byte positions are wire positions (byte 0 = report ID).
//
// | code      | effect                                                       | reply |
// |-----------|--------------------------------------------------------------|-------|
// | 0x00-0x02 | slice k of a key block (bytes 6..59); 0x02 stores the block   | no    |
// |           | under (block byte 0 - 1 = layer, block byte 1 = key code)     |       |
// | 0x04      | key function: 6 layer + 1, 7 key code, 8 function code        | no    |
// | 0x07      | light effect: 6 mode index - 1, 7..10 parameters; leaves the  | no    |
// |           | custom per-key mode                                           |       |
// | 0x08      | factory reset                                                 | no    |
// | 0x09      | start host colour frames                                      | yes   |
// | 0x0A      | light-page button                                             | no    |
// | 0x0B      | enter the custom per-key mode                                 | no    |
// | 0x0C/0x0D | sleep time / key response time code in byte 6                 | no    |
// | 0x0E      | status query                                                  | yes   |
// | 0x0F      | reset key assignments                                         | no    |
// | 0x10      | Fn switch in byte 6                                           | no    |
// | 0xF0-0xF5 | live colour frame slices; 0xF6-0xFB custom colour frame       | no    |
void VirtualKeyboard::Shared::Command300(Port port, const std::vector<uint8_t>& wire) {
  if (wire.size() < 6 || wire[0] != 0 || !std::equal(std::begin(kMagic), std::end(kMagic), wire.begin() + 1))
    return;  // 200 or 100 series, or garbage: logged, no effect
  std::vector<uint8_t> w = wire;
  w.resize(65, 0);
  const uint8_t code = w[5];
  if (ports[PortIndex(port)].link == 0 && code != 0x0E) return;  // no keyboard behind the receiver
  switch (code) {
    case 0x00:
    case 0x01:
    case 0x02: {
      if (code == 0) blockNext = 0;
      if (code != blockNext) {
        blockNext = -1;
        break;
      }
      std::copy_n(w.begin() + 6, kSliceBytes, block.begin() + kSliceBytes * code);
      blockNext = code + 1;
      if (code == 2) {
        blockNext = -1;
        if (block[0] >= 1 && block[0] <= 2) {
          state.keyBlocks[{block[0] - 1, block[1]}] = block;
          state.keyFunctions[block[0] - 1][block[1]] = 0;
        }
      }
      break;
    }
    case 0x04:
      // A key does one thing: its function replaces a key block it had.
      if (w[6] >= 1 && w[6] <= 2) {
        state.keyFunctions[w[6] - 1][w[7]] = w[8];
        state.keyBlocks.erase({w[6] - 1, w[7]});
      }
      break;
    case 0x07:
      state.lightMode = w[6];
      std::copy_n(w.begin() + 7, 4, state.lightParams.begin());
      state.customMode = false;
      break;
    case 0x08:
      FactoryReset();
      break;
    case 0x09:
      ++state.frameStarts;
      Reply(port, code);
      break;
    case 0x0A:
      ++state.lightButtonPresses;
      break;
    case 0x0B:
      state.customMode = true;
      break;
    case 0x0C:
      state.sleepTime = w[6];
      break;
    case 0x0D:
      state.keyResponseTime = w[6];
      break;
    case 0x0E:
      Reply(port, code);
      break;
    case 0x0F:
      ++state.keyResets;
      state.keyFunctions = {};
      state.keyBlocks.clear();
      break;
    case 0x10:
      state.fnSwitch = w[6];
      break;
    default:
      if (code >= 0xF0 && code <= 0xF5) TakeSlice(live, liveNext, code - 0xF0, state.liveFrame, state.liveFrames, w);
      if (code >= 0xF6 && code <= 0xFB)
        TakeSlice(custom, customNext, code - 0xF6, state.customFrame, state.customFrames, w);
      break;
  }
}

// 100-series key table (0x8D) and macro pieces (0x8E). Wire bytes: 0 report ID 0, 1 code,
// 2 length, 3..4 offset (LE); 0x8D data from 5, 0x8E slot in 5 and data from 6.
void VirtualKeyboard::Shared::Report100(const std::vector<uint8_t>& wire) {
  if (wire.size() < 65 || wire[0] != 0) return;
  const size_t offset = static_cast<size_t>(wire[3] | wire[4] << 8);
  if (wire[1] == 0x8D) {
    ++state.keyTableChunks100;
    if (offset < state.keyTable100.size())
      std::copy_n(wire.begin() + 5, std::min<size_t>(60, state.keyTable100.size() - offset),
                  state.keyTable100.begin() + static_cast<std::ptrdiff_t>(offset));
  } else if (wire[1] == 0x8E) {
    auto& slot = state.macros100[wire[5]];
    if (offset < slot.size())
      std::copy_n(wire.begin() + 6, std::min<size_t>(59, slot.size() - offset),
                  slot.begin() + static_cast<std::ptrdiff_t>(offset));
  }
}

// 200-series feature reports that change the slots:
//
// | report               | effect                                                          |
// |----------------------|-----------------------------------------------------------------|
// | AA 55 CC 0F (8 bytes)| every slot freed; the slot read starts over                      |
// | 07 FB 01 (8 bytes)   | the slot read starts over                                        |
// | 07 FA 01 s k 01 v 01 | key slot s (1..10) holds key k with value v; k = 0 frees it       |
// | 07 F1 + 27 x 07 00   | 6 bytes each of a 168-byte block: 1, slot 1..13, key, play, events; |
// |                      | taken when all 28 came in order; key 0 frees the slot            |
void VirtualKeyboard::Shared::Feature200(const std::vector<uint8_t>& r) {
  if (r.size() >= 4 && r[0] == 0xAA && r[1] == 0x55 && r[2] == 0xCC && r[3] == 0x0F) {
    slotPass = 0;
    state.slotTable = {};
    state.slotBlocks.clear();
    state.keySlots.clear();
    return;
  }
  if (r.size() < 8 || r[0] != 0x07) return;
  if (r[1] == 0xFB) {
    slotPass = 0;
    return;
  }
  if (r[1] == 0xFA && r[3] >= 1 && r[3] <= 10) {
    state.slotTable[13 + r[3]] = r[4];
    if (r[4] == 0) state.keySlots.erase(r[3]);
    else state.keySlots[r[3]] = {r[4], r[6]};
    return;
  }
  if (r[1] == 0xF1) slotBlockNext = 0;
  else if (r[1] != 0x00 || slotBlockNext <= 0) {
    slotBlockNext = -1;
    return;
  }
  std::copy_n(r.begin() + 2, 6, slotBlock.begin() + 6 * slotBlockNext);
  if (++slotBlockNext < kSlotBlockBytes / 6) return;
  slotBlockNext = -1;
  const int slot = slotBlock[1];
  if (slot < 1 || slot > 13) return;
  state.slotTable[static_cast<size_t>(slot)] = slotBlock[2];
  if (slotBlock[2] == 0) state.slotBlocks.erase(slot);
  else state.slotBlocks[slot] = slotBlock;
}

VirtualKeyboard::VirtualKeyboard(const Clock& clock, Identity identity)
    : m_shared(std::make_shared<Shared>(clock, identity)), m_identity(identity) {
  m_shared->ports[PortIndex(Port::Cable)].link = 3;
  m_shared->ports[PortIndex(Port::Receiver)].link = 1;
}

VirtualKeyboard::~VirtualKeyboard() {
  // Handles may outlive the backend; they see both ports unplugged.
  std::lock_guard guard(m_shared->lock);
  m_shared->Unplug(Port::Cable);
  m_shared->Unplug(Port::Receiver);
}

std::vector<HidDeviceInfo> VirtualKeyboard::Enumerate() {
  static constexpr struct {
    uint16_t usagePage, usage;
  } kUsages[4] = {{0x0001, 0x06}, {0x000C, 0x01}, {0xFF02, 0x02}, {0xFF01, 0x01}};
  std::lock_guard guard(m_shared->lock);
  std::vector<HidDeviceInfo> list;
  // The receiver comes first, as it may on a real system: choosing the cable must not
  // depend on enumeration order.
  for (Port port : {Port::Receiver, Port::Cable}) {
    if (!m_shared->ports[PortIndex(port)].plugged) continue;
    for (int mi = 0; mi < 4; ++mi) {
      HidDeviceInfo info;
      info.path = m_shared->Path(port, mi);
      info.vendorId = m_identity.vendorId;
      info.productId = m_shared->ProductId(port);
      info.releaseNumber = port == Port::Cable ? m_identity.cableRelease : m_identity.receiverRelease;
      info.interfaceNumber = mi;
      info.usagePage = kUsages[mi].usagePage;
      info.usage = kUsages[mi].usage;
      list.push_back(std::move(info));
    }
  }
  return list;
}

std::unique_ptr<IHidDevice> VirtualKeyboard::Open(const std::string& path) {
  std::lock_guard guard(m_shared->lock);
  for (Port port : {Port::Receiver, Port::Cable}) {
    if (!m_shared->ports[PortIndex(port)].plugged) continue;
    for (int mi = 0; mi < 4; ++mi)
      if (m_shared->Path(port, mi) == path) return std::make_unique<VirtualDevice>(m_shared, port, mi);
  }
  return nullptr;
}

void VirtualKeyboard::Plug(Port port) {
  std::lock_guard guard(m_shared->lock);
  PortState& p = m_shared->ports[PortIndex(port)];
  if (p.plugged) return;
  p.plugged = true;
  ++p.generation;
}

void VirtualKeyboard::Unplug(Port port) {
  std::lock_guard guard(m_shared->lock);
  m_shared->Unplug(port);
}

bool VirtualKeyboard::IsPlugged(Port port) const {
  std::lock_guard guard(m_shared->lock);
  return m_shared->ports[PortIndex(port)].plugged;
}

void VirtualKeyboard::SetLink(Port port, uint8_t link) {
  std::lock_guard guard(m_shared->lock);
  PortState& p = m_shared->ports[PortIndex(port)];
  const bool changed = p.link != link;
  p.link = link;
  if (changed && p.plugged) m_shared->SendStatus(port, m_shared->clock.NowMs());
}

void VirtualKeyboard::SetBattery(uint8_t level) {
  std::lock_guard guard(m_shared->lock);
  if (m_shared->state.battery == level) return;
  m_shared->state.battery = level;
  for (Port port : {Port::Cable, Port::Receiver}) {
    const PortState& p = m_shared->ports[PortIndex(port)];
    if (p.plugged && p.link != 0) m_shared->SendStatus(port, m_shared->clock.NowMs());
  }
}

void VirtualKeyboard::InjectFault(Port port, Fault fault, int64_t delayMs) {
  std::lock_guard guard(m_shared->lock);
  m_shared->ports[PortIndex(port)].faults.emplace_back(fault, delayMs);
}

FirmwareState VirtualKeyboard::State() const {
  std::lock_guard guard(m_shared->lock);
  return m_shared->state;
}

std::vector<LogEntry> VirtualKeyboard::Log() const {
  std::lock_guard guard(m_shared->lock);
  return m_shared->log;
}

void VirtualKeyboard::ClearLog() {
  std::lock_guard guard(m_shared->lock);
  m_shared->log.clear();
}

bool VirtualKeyboard::SetUpdateModeDrive(const std::filesystem::path& sysfsRoot, uint16_t productId, bool present) {
  char name[16];
  std::snprintf(name, sizeof name, "9-%u", static_cast<unsigned>(productId));
  const std::filesystem::path device = sysfsRoot / "bus" / "usb" / "devices" / name;
  std::error_code error;
  if (!present) {
    std::filesystem::remove_all(device, error);
    return !error;
  }
  const std::filesystem::path storage = device / (std::string(name) + ":1.0");
  if (!std::filesystem::create_directories(storage, error) && error) return false;
  char pid[8];
  std::snprintf(pid, sizeof pid, "%04x\n", static_cast<unsigned>(productId));
  const std::pair<std::filesystem::path, std::string> files[] = {
      {device / "idVendor", "fff0\n"}, {device / "idProduct", pid}, {storage / "bInterfaceClass", "08\n"}};
  for (const auto& [path, text] : files) {
    std::ofstream out(path, std::ios::trunc);
    out << text;
    if (!out.good()) return false;
  }
  return true;
}

}  // namespace kl::vkb
