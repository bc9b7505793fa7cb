#include "app/device/HidDeviceSet.h"

#include <gtest/gtest.h>

#include "tests/app/device/DeviceTestSupport.h"

namespace kl {
namespace {

using test::VirtualRig;
using vkb::Fault;
using vkb::Port;

class HidDeviceSetTest : public ::testing::Test, public VirtualRig {
 protected:
  std::vector<DeviceInterface> Listed() {
    std::vector<DeviceInterface> list;
    devices.ListInterfaces(list);
    return list;
  }
};

TEST_F(HidDeviceSetTest, ListsOnlyTheCommandInterfaceOfEachPort) {
  keyboard.Plug(Port::Cable);
  keyboard.Plug(Port::Receiver);
  devices.OpenAll();
  EXPECT_TRUE(devices.IsOpened());
  const std::vector<DeviceInterface> list = Listed();
  ASSERT_EQ(list.size(), 2u);
  for (const DeviceInterface& d : list) {
    EXPECT_NE(d.path.find("&MI_02"), std::string::npos) << d.path;
    EXPECT_EQ(d.deviceType, 301);
    EXPECT_EQ(d.online, 1);
    EXPECT_TRUE(d.productString.empty());
  }
  // The receiver enumerates first; the record keeps its mode and release.
  EXPECT_EQ(list[0].index, 0);
  EXPECT_EQ(list[0].mode, 2);
  EXPECT_EQ(list[0].releaseNumber, keyboard.Ids().receiverRelease);
  EXPECT_EQ(list[1].mode, 0);
  EXPECT_EQ(list[1].releaseNumber, keyboard.Ids().cableRelease);
  // The auxiliary interface is opened (and so probed by nothing) but never written to.
  for (const vkb::LogEntry& e : keyboard.Log()) EXPECT_NE(e.interfaceNumber, vkb::kAuxiliaryInterface);

  devices.CloseAll();
  EXPECT_FALSE(devices.IsOpened());
  std::vector<DeviceInterface> none;
  EXPECT_FALSE(devices.ListInterfaces(none));
}

TEST_F(HidDeviceSetTest, FiltersByIdentityAndProductName) {
  keyboard.Plug(Port::Cable);
  HidDeviceSet named(keyboard, clock);
  ModeFilter filter = config.ModeFilters().at(0);
  filter.name = L"TR640";  // enumeration carries no product strings, so this matches nothing
  named.AddModeFilter(filter);
  named.OpenAll();
  std::vector<DeviceInterface> list;
  EXPECT_FALSE(named.ListInterfaces(list));

  EXPECT_TRUE(devices.IsKnownInterface(0xFFF0, 0x0640, L""));
  EXPECT_FALSE(devices.IsKnownInterface(0xFFF0, 0x0642, L""));
  EXPECT_EQ(devices.LookupDeviceType(0xFFF0, 0x0641), 301);
  EXPECT_EQ(devices.LookupMode(0xFFF0, 0x0641), 2);
  EXPECT_EQ(devices.LookupMode(0x1234, 0x0641), 0);
}

TEST_F(HidDeviceSetTest, ChoosesTheCableBeforeTheReceiver) {
  keyboard.Plug(Port::Receiver);
  keyboard.Plug(Port::Cable);
  devices.OpenAll();
  devices.SelectDeviceType(301);
  EXPECT_EQ(devices.GetConnectionMode(), 0);
  const int chosen = devices.GetWriteInterface();
  ASSERT_GE(chosen, 0);
  EXPECT_EQ(Listed()[static_cast<size_t>(chosen)].mode, 0);
  int release = 0;
  ASSERT_TRUE(devices.GetFirmwareRelease(release));
  EXPECT_EQ(release, keyboard.Ids().cableRelease);
  ASSERT_TRUE(devices.GetReceiverRelease(release));
  EXPECT_EQ(release, keyboard.Ids().receiverRelease);

  Command c = MakeCommand300(0x0C, {4});
  ASSERT_TRUE(devices.SendCommand(c, false));
  EXPECT_EQ(vkb::Commands300(keyboard.Log(), Port::Cable).back(), 0x0C);
  EXPECT_TRUE(vkb::Commands300(keyboard.Log(), Port::Receiver) == std::vector<int>{0x0E}) << "receiver got only its probe";
}

TEST_F(HidDeviceSetTest, ReceiverWithoutKeyboardIsListedOffline) {
  keyboard.Plug(Port::Receiver);
  keyboard.SetLink(Port::Receiver, 0);
  devices.OpenAll();
  devices.SelectDeviceType(301);
  const std::vector<DeviceInterface> list = Listed();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].online, 0);
  EXPECT_EQ(devices.GetConnectionMode(), -1);
  EXPECT_EQ(devices.GetWriteInterface(), -1);
  EXPECT_EQ(devices.FindOnlineInterface(0xFFF0, 0x0641, L"", 2), -1);
  int release = 0;
  EXPECT_TRUE(devices.GetFirmwareRelease(release)) << "online is not needed for the release";
  Command c = MakeCommand300(0x0C, {1});
  EXPECT_FALSE(devices.SendCommand(c, false));

  // The keyboard is switched on: its status report comes in on the listed receiver.
  keyboard.SetLink(Port::Receiver, 1);
  Report buffer{};
  ASSERT_TRUE(devices.PollReply(buffer));
  EXPECT_EQ(Listed()[0].online, 1);
  EXPECT_EQ(devices.GetConnectionMode(), 2);
  EXPECT_EQ(devices.GetWriteInterface(), 0);
}

TEST_F(HidDeviceSetTest, SelectedDeviceTypeLimitsTheChoice) {
  keyboard.Plug(Port::Cable);
  devices.OpenAll();
  devices.SelectDeviceType(302);
  EXPECT_EQ(devices.GetConnectionMode(), -1);
  EXPECT_EQ(devices.GetWriteInterface(), -1);
  int release = 0;
  EXPECT_FALSE(devices.GetFirmwareRelease(release));
  std::vector<DeviceInterface> list;
  EXPECT_TRUE(devices.ListInterfaces(list)) << "the set is not empty";
  EXPECT_TRUE(list.empty()) << "but nothing is of type 302";
}

class TransportTest : public HidDeviceSetTest {
 protected:
  void SetUp() override {
    keyboard.Plug(Port::Cable);
    devices.OpenAll();
    devices.SelectDeviceType(301);
    keyboard.ClearLog();
  }
};

TEST_F(TransportTest, NothingIsSentWithoutAnOpenSetOrAWriteInterface) {
  devices.CloseAll();
  Command c = MakeCommand300(0x0E);
  Report r{};
  ShortFeatureResult result{};
  EXPECT_FALSE(devices.SendCommand(c, true));
  EXPECT_FALSE(devices.QueryCommand(c));
  EXPECT_FALSE(devices.WriteCommand(c));
  EXPECT_FALSE(devices.WriteRawReport(r));
  EXPECT_FALSE(devices.SendFeatureReport(r));
  EXPECT_FALSE(devices.ExchangeShortFeature(ShortFeature{}, result));
  EXPECT_FALSE(devices.PollReply(r));
  EXPECT_TRUE(keyboard.Log().empty());
}

TEST_F(TransportTest, OneFailedWriteIsRetried) {
  struct Case {
    const char* name;
    std::vector<Fault> faults;
    bool expected;
  };
  const Case cases[] = {
      {"clean", {}, true},
      {"fails once", {Fault::FailWrite}, true},
      {"short once", {Fault::ShortWrite}, true},
      {"fails twice", {Fault::FailWrite, Fault::ShortWrite}, false},
  };
  using Send = bool (*)(HidDeviceSet&);
  const std::pair<const char*, Send> operations[] = {
      {"SendCommand", [](HidDeviceSet& d) { Command c = MakeCommand300(0x0C, {1}); return d.SendCommand(c, false); }},
      {"WriteCommand", [](HidDeviceSet& d) { return d.WriteCommand(MakeCommand300(0x0C, {1})); }},
      {"WriteRawReport",
       [](HidDeviceSet& d) {
         Report r{};
         const Command c = MakeCommand300(0x0C, {1});
         std::copy(c.begin(), c.end(), r.begin() + 1);
         return d.WriteRawReport(r);
       }},
  };
  for (const auto& [operation, send] : operations) {
    for (const Case& c : cases) {
      keyboard.ClearLog();
      for (Fault f : c.faults) keyboard.InjectFault(Port::Cable, f);
      EXPECT_EQ(send(devices), c.expected) << operation << ": " << c.name;
      EXPECT_EQ(vkb::Commands300(keyboard.Log()).size(), c.expected ? 1u : 0u) << operation << ": " << c.name;
    }
  }
}

TEST_F(TransportTest, SendCommandReadsTheReplyIntoTheCommand) {
  Command c = MakeCommand300(0x0E);
  ASSERT_TRUE(devices.SendCommand(c, true));
  const auto status = ParseStatusReply(c.data(), c.size());
  ASSERT_TRUE(status);
  EXPECT_EQ(status->link, 3);

  keyboard.InjectFault(Port::Cable, Fault::NoReply);
  c = MakeCommand300(0x0E);
  const int64_t before = clock.NowMs();
  EXPECT_FALSE(devices.SendCommand(c, true));
  EXPECT_GE(clock.NowMs() - before, 600) << "100 ms before the read, then the 500 ms timeout";
}

TEST_F(TransportTest, LateReplyIsConsumedByTheNextRead) {
  keyboard.InjectFault(Port::Cable, Fault::LateReply, 3000);
  Command c = MakeCommand300(0x0E);
  EXPECT_FALSE(devices.QueryCommand(c)) << "the reply is not there within 10 ms";
  clock.SleepMs(3500);
  Report buffer{};
  ASSERT_TRUE(devices.PollReply(buffer));
  EXPECT_TRUE(ParseStatusReply(buffer.data(), buffer.size()));
  EXPECT_FALSE(devices.PollReply(buffer)) << "delivered once";
}

TEST_F(TransportTest, FeatureReportsAndTheShortExchange) {
  EXPECT_TRUE(devices.SendFeatureReport(MakeFeature200(0xF7, {1, 2})));
  ShortFeatureResult result;
  result.fill(0xEE);
  ASSERT_TRUE(devices.ExchangeShortFeature(ShortFeature{0xAA, 0x55, 0xCC, 0x0F}, result));
  EXPECT_EQ(result, ShortFeatureResult{}) << "four 7-byte replies fill all 28 bytes";
  int gets = 0;
  for (const vkb::LogEntry& e : keyboard.Log()) gets += e.direction == vkb::Direction::FeatureGet;
  EXPECT_EQ(gets, 4);
  EXPECT_EQ(vkb::DecodeReport(keyboard.Log().front()).framing, vkb::Framing::Feature200);
}

TEST_F(TransportTest, UnpluggedKeyboardFailsEveryOperation) {
  keyboard.Unplug(Port::Cable);
  Command c = MakeCommand300(0x0E);
  Report r{};
  EXPECT_FALSE(devices.SendCommand(c, true));
  EXPECT_FALSE(devices.QueryCommand(c));
  EXPECT_FALSE(devices.WriteRawReport(r));
  EXPECT_FALSE(devices.PollReply(r));
}

}  // namespace
}  // namespace kl
