#include "vkb/VirtualKeyboard.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kl::vkb {
namespace {

// Wire report of a 300-series command: ID 0, magic, code, parameters from byte 6.
std::vector<uint8_t> Command300(uint8_t code, std::vector<uint8_t> params = {}) {
  std::vector<uint8_t> r(65, 0);
  r[1] = 0xAA, r[2] = 0x55, r[3] = 0xCC, r[4] = 0x33, r[5] = code;
  std::copy(params.begin(), params.end(), r.begin() + 6);
  return r;
}

class VirtualKeyboardTest : public ::testing::Test {
 protected:
  VirtualKeyboardTest() : kb(clock) {}

  std::unique_ptr<IHidDevice> OpenCommand(Port port) {
    for (const HidDeviceInfo& info : kb.Enumerate())
      if (info.interfaceNumber == kCommandInterface &&
          info.productId == (port == Port::Cable ? kb.Ids().cableProductId : kb.Ids().receiverProductId))
        return kb.Open(info.path);
    return nullptr;
  }
  static int Write(IHidDevice& d, const std::vector<uint8_t>& r) { return d.Write(r.data(), r.size()); }
  static std::vector<uint8_t> Read(IHidDevice& d, int timeoutMs) {
    std::vector<uint8_t> b(65, 0);
    const int n = d.Read(b.data(), b.size(), timeoutMs);
    b.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return b;
  }

  ScaledClock clock{20.0};
  VirtualKeyboard kb;
};

TEST_F(VirtualKeyboardTest, EachPortShowsFourInterfacesWithTheirUsages) {
  EXPECT_TRUE(kb.Enumerate().empty());
  kb.Plug(Port::Cable);
  kb.Plug(Port::Receiver);
  const std::vector<HidDeviceInfo> all = kb.Enumerate();
  ASSERT_EQ(all.size(), 8u);
  struct Expect { int mi; uint16_t page, usage; };
  const Expect table[] = {{0, 0x0001, 0x06}, {1, 0x000C, 0x01}, {2, 0xFF02, 0x02}, {3, 0xFF01, 0x01}};
  for (const HidDeviceInfo& info : all) {
    const Expect& e = table[info.interfaceNumber];
    EXPECT_EQ(info.usagePage, e.page) << info.path;
    EXPECT_EQ(info.usage, e.usage) << info.path;
    char mi[8];
    std::snprintf(mi, sizeof mi, "&MI_%02d", e.mi);
    EXPECT_NE(info.path.find(mi), std::string::npos) << info.path;
    EXPECT_EQ(info.vendorId, 0xFFF0);
    EXPECT_EQ(info.releaseNumber, info.productId == 0x0640 ? kb.Ids().cableRelease : kb.Ids().receiverRelease);
  }
  EXPECT_EQ(kb.Open("\\\\?\\HID#VID_1234&PID_0001&MI_00#X"), nullptr);
}

TEST_F(VirtualKeyboardTest, RepliesOnlyToStatusAndFrameStart) {
  kb.Plug(Port::Cable);
  auto dev = OpenCommand(Port::Cable);
  ASSERT_TRUE(dev);
  for (uint8_t code : {0x04, 0x07, 0x0A, 0x0B, 0x0C, 0x0D, 0x0F, 0x10, 0x08}) {
    ASSERT_EQ(Write(*dev, Command300(code, {1, 2, 3})), 65);
    EXPECT_TRUE(Read(*dev, 10).empty()) << "code " << int(code);
  }
  ASSERT_EQ(Write(*dev, Command300(0x0E)), 65);
  auto reply = DecodeReply300(Read(*dev, 10));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->code, 0x0E);
  EXPECT_EQ(reply->link, 3);
  EXPECT_EQ(reply->battery, kb.State().battery);
  ASSERT_EQ(Write(*dev, Command300(0x09)), 65);
  reply = DecodeReply300(Read(*dev, 10));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->code, 0x09);
}

TEST_F(VirtualKeyboardTest, KeepsTheStateOfEveryCommand) {
  kb.Plug(Port::Cable);
  auto dev = OpenCommand(Port::Cable);
  ASSERT_TRUE(dev);
  Write(*dev, Command300(0x04, {1, 0x29, 0x3A}));  // layer 0, key 0x29 -> function 0x3A
  Write(*dev, Command300(0x04, {2, 0x04, 0x05}));  // layer 1
  Write(*dev, Command300(0x04, {3, 0x04, 0x05}));  // no layer 2: ignored
  Write(*dev, Command300(0x07, {5, 1, 2, 3, 4}));
  Write(*dev, Command300(0x0C, {7}));
  Write(*dev, Command300(0x0D, {2}));
  Write(*dev, Command300(0x10, {1}));
  Write(*dev, Command300(0x0A));
  FirmwareState s = kb.State();
  EXPECT_EQ(s.keyFunctions[0][0x29], 0x3A);
  EXPECT_EQ(s.keyFunctions[1][0x04], 0x05);
  EXPECT_EQ(s.lightMode, 5);
  EXPECT_EQ(s.lightParams, (std::array<uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(s.sleepTime, 7);
  EXPECT_EQ(s.keyResponseTime, 2);
  EXPECT_EQ(s.fnSwitch, 1);
  EXPECT_EQ(s.lightButtonPresses, 1);
  EXPECT_FALSE(s.customMode);
  Write(*dev, Command300(0x0B));
  EXPECT_TRUE(kb.State().customMode);

  Write(*dev, Command300(0x0F));
  s = kb.State();
  EXPECT_EQ(s.keyResets, 1);
  EXPECT_EQ(s.keyFunctions[0][0x29], 0);
  EXPECT_EQ(s.sleepTime, 7) << "a key reset keeps the settings";

  Write(*dev, Command300(0x08));
  s = kb.State();
  EXPECT_EQ(s.factoryResets, 1);
  EXPECT_EQ(s.sleepTime, -1);
  EXPECT_EQ(s.lightMode, -1);
}

TEST_F(VirtualKeyboardTest, ReassemblesKeyBlocksAndFramesOnlyInOrder) {
  kb.Plug(Port::Cable);
  auto dev = OpenCommand(Port::Cable);
  ASSERT_TRUE(dev);
  std::array<uint8_t, kBlockBytes> block{};
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  block[0] = 2;     // layer 1
  block[1] = 0x1E;  // key code
  auto slice = [&](int k) { return std::vector<uint8_t>(block.begin() + 54 * k, block.begin() + 54 * (k + 1)); };
  // Out of order: 0, 2 — abandoned.
  Write(*dev, Command300(0x00, slice(0)));
  Write(*dev, Command300(0x02, slice(2)));
  EXPECT_TRUE(kb.State().keyBlocks.empty());
  for (int k = 0; k < 3; ++k) Write(*dev, Command300(static_cast<uint8_t>(k), slice(k)));
  const FirmwareState s = kb.State();
  ASSERT_EQ(s.keyBlocks.count({1, 0x1E}), 1u);
  EXPECT_EQ(s.keyBlocks.at({1, 0x1E}), block);

  std::array<uint8_t, kFrameBytes> frame{};
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(255 - i % 256);
  auto chunk = [&](int k) { return std::vector<uint8_t>(frame.begin() + 54 * k, frame.begin() + 54 * (k + 1)); };
  for (int k = 0; k < 5; ++k) Write(*dev, Command300(static_cast<uint8_t>(0xF6 + k), chunk(k)));
  EXPECT_EQ(kb.State().customFrames, 0) << "five of six chunks make no frame";
  for (int k = 0; k < 6; ++k) Write(*dev, Command300(static_cast<uint8_t>(0xF6 + k), chunk(k)));
  for (int k = 0; k < 6; ++k) Write(*dev, Command300(static_cast<uint8_t>(0xF0 + k), chunk(k)));
  EXPECT_EQ(kb.State().customFrames, 1);
  EXPECT_EQ(kb.State().customFrame, frame);
  EXPECT_EQ(kb.State().liveFrames, 1);
  EXPECT_EQ(kb.State().liveFrame, frame);
}

TEST_F(VirtualKeyboardTest, ReceiverWithoutKeyboardAnswersStatusAndDropsCommands) {
  kb.Plug(Port::Receiver);
  kb.SetLink(Port::Receiver, 0);
  auto dev = OpenCommand(Port::Receiver);
  ASSERT_TRUE(dev);
  Write(*dev, Command300(0x0C, {9}));
  Write(*dev, Command300(0x09));
  EXPECT_EQ(kb.State().sleepTime, -1);
  EXPECT_EQ(kb.State().frameStarts, 0);
  Write(*dev, Command300(0x0E));
  const auto reply = DecodeReply300(Read(*dev, 10));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->code, 0x0E);
  EXPECT_EQ(reply->link, 0);
  EXPECT_TRUE(Read(*dev, 10).empty()) << "0x09 got no reply";
}

TEST_F(VirtualKeyboardTest, AnnouncesLinkAndBatteryChanges) {
  kb.Plug(Port::Receiver);
  auto dev = OpenCommand(Port::Receiver);
  ASSERT_TRUE(dev);
  kb.SetLink(Port::Receiver, 1);  // unchanged: nothing sent
  EXPECT_TRUE(Read(*dev, 5).empty());
  kb.SetLink(Port::Receiver, 3);
  auto status = DecodeReply300(Read(*dev, 10));
  ASSERT_TRUE(status);
  EXPECT_EQ(status->link, 3);
  kb.SetBattery(42);
  status = DecodeReply300(Read(*dev, 10));
  ASSERT_TRUE(status);
  EXPECT_EQ(status->battery, 42);
  kb.SetLink(Port::Receiver, 0);
  ASSERT_TRUE(DecodeReply300(Read(*dev, 10)));
  kb.SetBattery(41);  // nobody linked: no report
  EXPECT_TRUE(Read(*dev, 5).empty());
}

TEST_F(VirtualKeyboardTest, InjectedFaults) {
  kb.Plug(Port::Cable);
  auto dev = OpenCommand(Port::Cable);
  ASSERT_TRUE(dev);
  kb.InjectFault(Port::Cable, Fault::FailWrite);
  EXPECT_EQ(Write(*dev, Command300(0x0C, {1})), -1);
  EXPECT_FALSE(dev->ErrorText().empty());
  kb.InjectFault(Port::Cable, Fault::ShortWrite);
  EXPECT_EQ(Write(*dev, Command300(0x0C, {2})), 0);
  EXPECT_EQ(kb.State().sleepTime, -1) << "failed and short writes do not reach the keyboard";
  EXPECT_EQ(Write(*dev, Command300(0x0C, {3})), 65);
  EXPECT_EQ(kb.State().sleepTime, 3);

  kb.InjectFault(Port::Cable, Fault::NoReply);
  Write(*dev, Command300(0x0E));
  EXPECT_TRUE(Read(*dev, 20).empty());

  kb.InjectFault(Port::Cable, Fault::LateReply, 2000);
  Write(*dev, Command300(0x0E));
  EXPECT_TRUE(Read(*dev, 10).empty()) << "not there yet";
  EXPECT_TRUE(DecodeReply300(Read(*dev, 10000))) << "the late reply is delivered by a later read";

  kb.InjectFault(Port::Cable, Fault::UnplugAfterWrite);
  EXPECT_EQ(Write(*dev, Command300(0x0C, {4})), 65);
  EXPECT_EQ(kb.State().sleepTime, 4) << "the write that unplugs is still taken";
  EXPECT_FALSE(kb.IsPlugged(Port::Cable));
  EXPECT_EQ(Write(*dev, Command300(0x0C, {5})), -1);
  std::vector<uint8_t> buffer(65);
  EXPECT_EQ(dev->Read(buffer.data(), buffer.size(), 10), -1);

  kb.Plug(Port::Cable);
  EXPECT_EQ(Write(*dev, Command300(0x0C, {6})), -1) << "a handle from before the unplug stays dead";
  auto fresh = OpenCommand(Port::Cable);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(Write(*fresh, Command300(0x0C, {6})), 65);
  EXPECT_EQ(kb.State().sleepTime, 6);
}

TEST_F(VirtualKeyboardTest, LogsAndDecodesEverySeries) {
  kb.Plug(Port::Cable);
  auto dev = OpenCommand(Port::Cable);
  ASSERT_TRUE(dev);
  Write(*dev, Command300(0x0E));
  std::vector<uint8_t> receiver200(65, 0);
  receiver200[1] = 0xBB, receiver200[2] = 0xAA, receiver200[3] = 0x99, receiver200[4] = 0x88, receiver200[5] = 0xAA;
  Write(*dev, receiver200);
  std::vector<uint8_t> table100(65, 0);
  table100[1] = 0x8D;
  Write(*dev, table100);
  std::vector<uint8_t> reset100(65, 0);
  reset100[1] = 0xFF, reset100[2] = 0xFE, reset100[3] = 0xAA, reset100[4] = 0xFF;
  Write(*dev, reset100);
  std::vector<uint8_t> feature200(65, 0);
  feature200[0] = 0x07, feature200[1] = 0xF7;
  dev->SendFeatureReport(feature200.data(), feature200.size());
  std::vector<uint8_t> feature100(65, 0);
  feature100[0] = 0x07, feature100[1] = 0xFF;
  dev->SendFeatureReport(feature100.data(), feature100.size());
  std::vector<uint8_t> garbage(65, 0x5A);
  Write(*dev, garbage);

  struct Expect { Direction direction; Framing framing; int code; };
  const Expect expected[] = {
      {Direction::Out, Framing::Series300, 0x0E},     {Direction::In, Framing::Unknown, -1},
      {Direction::Out, Framing::Receiver200, 0xAA},   {Direction::Out, Framing::Series100, 0x8D},
      {Direction::Out, Framing::Series100, 0xFF},     {Direction::FeatureSet, Framing::Feature200, 0xF7},
      {Direction::FeatureSet, Framing::Feature100, 0xFF}, {Direction::Out, Framing::Unknown, -1},
  };
  const std::vector<LogEntry> log = kb.Log();
  ASSERT_EQ(log.size(), std::size(expected));
  for (size_t i = 0; i < log.size(); ++i) {
    const DecodedReport d = DecodeReport(log[i]);
    EXPECT_EQ(log[i].direction, expected[i].direction) << i;
    EXPECT_EQ(d.framing, expected[i].framing) << i;
    EXPECT_EQ(d.code, expected[i].code) << i;
    EXPECT_EQ(log[i].interfaceNumber, kCommandInterface);
  }
  EXPECT_EQ(Commands300(log), std::vector<int>{0x0E});
  EXPECT_TRUE(Commands300(log, Port::Receiver).empty());
  EXPECT_LE(log.front().timeMs, log.back().timeMs);
  EXPECT_EQ(kb.State().sleepTime, -1) << "other series leave the 300-series state alone";
}

TEST_F(VirtualKeyboardTest, KeyFunctionAndKeyBlockReplaceEachOther) {
  kb.Plug(Port::Cable);
  auto dev = OpenCommand(Port::Cable);
  ASSERT_TRUE(dev);
  std::array<uint8_t, kBlockBytes> block{};
  block[0] = 1;
  block[1] = 0x04;
  Write(*dev, Command300(0x04, {1, 0x04, 0x3A}));
  for (uint8_t k = 0; k < 3; ++k)
    Write(*dev, Command300(k, std::vector<uint8_t>(block.begin() + 54 * k, block.begin() + 54 * (k + 1))));
  FirmwareState s = kb.State();
  EXPECT_EQ(s.keyFunctions[0][0x04], 0);
  EXPECT_EQ(s.keyBlocks.count({0, 0x04}), 1u);
  Write(*dev, Command300(0x04, {2, 0x04, 0x3B}));  // the other layer keeps its block
  Write(*dev, Command300(0x04, {1, 0x04, 0x00}));
  s = kb.State();
  EXPECT_EQ(s.keyBlocks.count({0, 0x04}), 0u);
  EXPECT_EQ(s.keyFunctions[1][0x04], 0x3B);
}

// 200-series key uploads: key slots, slot blocks in 28 pieces, the slot table read back.
TEST_F(VirtualKeyboardTest, KeepsTheSlotsOfTheFeatureReports) {
  kb.Plug(Port::Cable);
  auto dev = OpenCommand(Port::Cable);
  ASSERT_TRUE(dev);
  auto feature = [&](std::vector<uint8_t> head) {
    head.resize(65, 0);
    return dev->SendFeatureReport(head.data(), head.size());
  };
  auto readTable = [&] {
    std::vector<uint8_t> table;
    std::vector<uint8_t> request = {0x07, 0xFB, 0x01, 0, 0, 0, 0, 0};
    dev->SendFeatureReport(request.data(), request.size());
    for (int pass = 0; pass < 4; ++pass) {
      uint8_t reply[8] = {0x07, 0xFB, 0x01};
      EXPECT_EQ(dev->GetFeatureReport(reply, sizeof reply), 8);
      table.insert(table.end(), reply + 1, reply + 8);
    }
    return table;
  };
  std::array<uint8_t, kSlotBlockBytes> block{};
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i + 3);
  block[0] = 1, block[1] = 13, block[2] = 0x1E;
  auto sendBlock = [&](size_t pieces) {
    for (size_t i = 0; i < pieces; ++i) {
      std::vector<uint8_t> r = {0x07, static_cast<uint8_t>(i == 0 ? 0xF1 : 0x00)};
      r.insert(r.end(), block.begin() + 6 * i, block.begin() + 6 * (i + 1));
      feature(r);
    }
  };

  feature({0x07, 0xFA, 0x01, 10, 0x04, 0x01, 0x3A, 0x01});
  feature({0x07, 0xFA, 0x01, 11, 0x05, 0x01, 0x3A, 0x01});  // no slot 11
  sendBlock(27);                                           // one piece short: not taken
  EXPECT_TRUE(kb.State().slotBlocks.empty());
  sendBlock(28);
  FirmwareState s = kb.State();
  EXPECT_EQ(s.keySlots, (std::map<int, std::pair<int, int>>{{10, {0x04, 0x3A}}}));
  ASSERT_EQ(s.slotBlocks.count(13), 1u);
  EXPECT_EQ(s.slotBlocks.at(13), block);
  std::vector<uint8_t> expected(28, 0);
  expected[13] = 0x1E;
  expected[23] = 0x04;
  EXPECT_EQ(readTable(), expected);
  // The 27 continuation reports decode as the 0xF1 block they belong to.
  EXPECT_EQ(DecodeReport(kb.Log()[kb.Log().size() - 10]).framing, Framing::Feature200);

  // Freeing: a block without key code, a key slot with key 0; AA 55 CC 0F frees everything.
  block[2] = 0;
  sendBlock(28);
  feature({0x07, 0xFA, 0x01, 10, 0x00, 0x01, 0x00, 0x01});
  s = kb.State();
  EXPECT_TRUE(s.slotBlocks.empty());
  EXPECT_TRUE(s.keySlots.empty());
  feature({0x07, 0xFA, 0x01, 1, 0x06, 0x01, 0x3B, 0x01});
  std::vector<uint8_t> reset = {0xAA, 0x55, 0xCC, 0x0F, 0, 0, 0, 0};
  dev->SendFeatureReport(reset.data(), reset.size());
  EXPECT_EQ(readTable(), std::vector<uint8_t>(28, 0));
}

// 100-series key table chunks and macro pieces land at their offsets.
TEST_F(VirtualKeyboardTest, KeepsTheKeyTableAndMacroPiecesOf100Series) {
  kb.Plug(Port::Cable);
  auto dev = OpenCommand(Port::Cable);
  ASSERT_TRUE(dev);
  auto report = [&](uint8_t code, uint8_t length, int offset, uint8_t slot, uint8_t fill) {
    std::vector<uint8_t> r(65, fill);
    r[0] = 0, r[1] = code, r[2] = length, r[3] = static_cast<uint8_t>(offset), r[4] = static_cast<uint8_t>(offset >> 8);
    if (code == 0x8E) r[5] = slot;
    return Write(*dev, r);
  };
  report(0x8D, 60, 60, 0, 0x11);
  report(0x8D, 40, 180, 0, 0x22);
  report(0x8D, 60, 300, 0, 0x33);  // beyond the table: counted, not kept
  report(0x8E, 59, 59, 4, 0x44);
  report(0x8E, 3, 1180, 4, 0x55);  // runs past the slot's end: cut there
  const FirmwareState s = kb.State();
  EXPECT_EQ(s.keyTableChunks100, 3);
  std::array<uint8_t, kKeyTable100Bytes> table{};
  std::fill(table.begin() + 60, table.begin() + 120, 0x11);
  std::fill(table.begin() + 180, table.end(), 0x22);
  EXPECT_EQ(s.keyTable100, table);
  ASSERT_EQ(s.macros100.count(4), 1u);
  std::array<uint8_t, kMacro100Bytes> macro{};
  std::fill(macro.begin() + 59, macro.begin() + 118, 0x44);
  std::fill(macro.begin() + 1180, macro.end(), 0x55);
  EXPECT_EQ(s.macros100.at(4), macro);
}

}  // namespace
}  // namespace kl::vkb
