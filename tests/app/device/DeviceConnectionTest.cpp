#include "app/device/DeviceConnection.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/device/StatusCommands.h"
#include "platform/UpdateDrives.h"
#include "tests/TestSupport.h"
#include "tests/app/device/DeviceTestSupport.h"

namespace kl {
namespace {

using test::RecordingView;
using vkb::Fault;
using vkb::Port;

class DeviceConnectionTest : public ::testing::Test, public test::VirtualRig {
 protected:
  DeviceConnectionTest()
      : sysfs(test::ScratchFolder()), connection(devices, view, config.modes, test::Wide(sysfs)) {}

  void Scan() {
    connection.RefreshDeviceList();
    connection.UpdateConnectionStatus();
  }
  // Idle worker passes (16 ms apart) for `ms` milliseconds of the keyboard's clock.
  void PollFor(int64_t ms) {
    const int64_t end = clock.NowMs() + ms;
    while (clock.NowMs() < end) {
      connection.StatusPoll();
      clock.SleepMs(16);
    }
  }
  std::vector<int64_t> StatusQueryTimes() const {
    std::vector<int64_t> times;
    for (const vkb::LogEntry& e : keyboard.Log()) {
      const vkb::DecodedReport d = vkb::DecodeReport(e);
      if (d.framing == vkb::Framing::Series300 && d.code == 0x0E) times.push_back(e.timeMs);
    }
    return times;
  }

  std::filesystem::path sysfs;
  RecordingView view;
  DeviceConnection connection;
};

TEST_F(DeviceConnectionTest, ConnectionDisplayFollowsWhatIsPlugged) {
  struct Case {
    const char* name;
    bool cable, receiver;
    uint8_t receiverLink;
    int mode, status, tabs;
    std::vector<int> tasks;
    std::wstring icon;
  };
  const Case cases[] = {
      {"nothing", false, false, 1, -1, 61, 0, {}, L""},
      {"cable", true, false, 1, 0, 60, 1, {15, 16, 5}, L"icon\\mode_usb.png"},
      {"receiver", false, true, 1, 2, 60, 1, {5}, L"icon\\mode_24g.png"},
      {"cable and receiver", true, true, 1, 0, 60, 1, {15, 16, 5}, L"icon\\mode_usb.png"},
      {"receiver, keyboard off", false, true, 0, -1, 61, 0, {}, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    keyboard.Unplug(Port::Cable);
    keyboard.Unplug(Port::Receiver);
    keyboard.SetLink(Port::Receiver, c.receiverLink);
    if (c.cable) keyboard.Plug(Port::Cable);
    if (c.receiver) keyboard.Plug(Port::Receiver);
    RecordingView fresh;
    DeviceConnection conn(devices, fresh, config.modes, test::Wide(sysfs));
    conn.RefreshDeviceList();
    conn.UpdateConnectionStatus();
    EXPECT_EQ(conn.InterfacesFound(), c.cable || c.receiver);
    EXPECT_EQ(conn.KeyboardConnected(), c.mode != -1);
    EXPECT_EQ(conn.ConnectionMode(), c.mode);
    EXPECT_EQ(fresh.Last("status"), c.status);
    EXPECT_EQ(fresh.Last("tabs"), c.tabs);
    EXPECT_EQ(fresh.Last("battery"), c.tabs);
    EXPECT_EQ(fresh.Last("mode-icon"), c.tabs);
    EXPECT_EQ(fresh.Last("tab"), c.tabs ? 1 : 0);
    EXPECT_EQ(fresh.Last("device-name"), c.tabs ? 51 : 0);
    EXPECT_EQ(fresh.All("task"), c.tasks);
    if (c.tabs) {
      EXPECT_EQ(fresh.ModeIcon(), c.icon);
    }
    std::vector<int> states;
    if (c.cable) states.push_back(3011);
    if (c.receiver && c.receiverLink) states.push_back(3011);
    EXPECT_EQ(fresh.All("device-state"), states);
    EXPECT_EQ(fresh.All("close-secondary").size(), 1u);
    if (c.receiver && !c.receiverLink) {
      EXPECT_EQ(fresh.Last("page-area"), 0) << "no pages for an absent keyboard";
    }
  }
}

TEST_F(DeviceConnectionTest, StatusQueryRunsAtMostEveryFiveSeconds) {
  keyboard.Plug(Port::Cable);
  Scan();
  keyboard.ClearLog();
  PollFor(12500);
  const std::vector<int64_t> times = StatusQueryTimes();
  ASSERT_GE(times.size(), 2u);
  for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 5000);
  EXPECT_EQ(connection.ConnectionMode(), 0);
}

TEST_F(DeviceConnectionTest, LinkChangeFromReceiverToCableRebuildsTheList) {
  keyboard.Plug(Port::Receiver);
  Scan();
  ASSERT_EQ(connection.ConnectionMode(), 2);
  view.Clear();
  // The keyboard goes onto its cable; the receiver reports link 3.
  keyboard.Plug(Port::Cable);
  keyboard.SetLink(Port::Receiver, 3);
  connection.StatusPoll();
  EXPECT_EQ(view.All("reset-states").size(), 1u) << "the device list was rebuilt";
  EXPECT_EQ(connection.ConnectionMode(), 0);
  EXPECT_EQ(view.All("task"), (std::vector<int>{15, 16, 5}));
}

TEST_F(DeviceConnectionTest, LinkLossFallsBackToNoKeyboard) {
  keyboard.Plug(Port::Receiver);
  Scan();
  view.Clear();
  keyboard.SetLink(Port::Receiver, 0);
  connection.StatusPoll();
  EXPECT_FALSE(connection.KeyboardConnected());
  EXPECT_EQ(connection.ConnectionMode(), -1);
  EXPECT_EQ(view.Last("status"), 61);
  EXPECT_EQ(view.Last("tabs"), 0);
}

TEST_F(DeviceConnectionTest, BatteryShownOnlyWhenKnown) {
  keyboard.Plug(Port::Cable);
  Scan();
  view.Clear();
  keyboard.SetBattery(255);
  connection.StatusPoll();
  keyboard.SetBattery(55);
  connection.StatusPoll();
  EXPECT_EQ(view.All("battery-level"), std::vector<int>{55});
  EXPECT_TRUE(view.All("reset-states").empty()) << "a battery change alone needs no rescan";

  view.Clear();
  connection.QueryBattery();
  EXPECT_EQ(view.All("battery-level"), std::vector<int>{55});
  keyboard.SetBattery(101);
  connection.QueryBattery();  // reads the unsolicited report first: still a status, but unknown level
  EXPECT_EQ(view.All("battery-level"), std::vector<int>{55});
}

TEST_F(DeviceConnectionTest, DeviceTypeRangesOfTheStatusChecks) {
  keyboard.Plug(Port::Cable);
  Scan();
  const std::pair<int, bool> batteryQueries[] = {{299, false}, {300, true}, {400, true}, {401, false}};
  for (const auto& [type, sent] : batteryQueries) {
    keyboard.ClearLog();
    connection.SetDeviceType(type);
    connection.QueryBattery();
    EXPECT_EQ(!StatusQueryTimes().empty(), sent) << type;
  }
  // Unsolicited reports are only looked for from 300-series keyboards.
  view.Clear();
  keyboard.SetBattery(30);
  connection.SetDeviceType(400);
  connection.StatusPoll();
  EXPECT_TRUE(view.All("battery-level").empty());
  connection.SetDeviceType(301);
  connection.StatusPoll();
  EXPECT_EQ(view.All("battery-level"), std::vector<int>{30});
}

TEST_F(DeviceConnectionTest, StrayReportDoesNotSetTheBattery) {
  keyboard.Plug(Port::Cable);
  Scan();
  view.Clear();
  // A late reply to 0x09 is waiting when the battery query reads.
  keyboard.InjectFault(Port::Cable, Fault::LateReply, 0);
  Command start = MakeCommand300(0x09);
  ASSERT_TRUE(devices.WriteCommand(start));
  keyboard.InjectFault(Port::Cable, Fault::NoReply);
  connection.QueryBattery();
  EXPECT_TRUE(view.All("battery-level").empty());
  // Another stray reply is waiting when the idle poll reads: its byte 6 is no link state.
  ASSERT_TRUE(devices.WriteCommand(start));
  connection.StatusPoll();
  EXPECT_TRUE(connection.KeyboardConnected());
  EXPECT_TRUE(view.All("reset-states").empty());
}

TEST_F(DeviceConnectionTest, FailedPeriodicQueryRebuildsTheList) {
  keyboard.Plug(Port::Cable);
  Scan();
  view.Clear();
  keyboard.InjectFault(Port::Cable, Fault::NoReply);
  PollFor(6000);
  EXPECT_EQ(view.All("reset-states").size(), 1u);
  EXPECT_EQ(connection.ConnectionMode(), 0) << "the keyboard is still there after the rescan";
}

TEST_F(DeviceConnectionTest, HotPlugNamesQueueRescans) {
  keyboard.Plug(Port::Cable);
  Scan();  // marks the cable entry connected
  view.Clear();
  struct Case {
    DeviceChange change;
    std::wstring name;
    int task, kind, value;
  };
  const std::wstring ble = L"\\\\?\\HID#{00001812-0000-1000-8000-00805f9b34fb}_DEV_VID&02FFF0_PID&0640_REV&0001#9";
  const Case cases[] = {
      {DeviceChange::Arrival, L"\\\\?\\hid#vid_fff0&pid_0641&mi_02#7&2&0&0000#{4d1e55b2}", 2, 1, 301},
      {DeviceChange::Arrival, L"\\\\?\\HID#VID_FFF0&PID_0641&MI_00#7&2&0&0000", -1, 0, 0},
      {DeviceChange::Arrival, L"\\\\?\\HID#VID_046D&PID_C52B&MI_02#1", -1, 0, 0},
      {DeviceChange::Arrival, ble, -1, 0, 0},
      {DeviceChange::Removal, L"\\\\?\\HID#VID_FFF0&PID_0641&MI_02#1", -1, 0, 0},  // receiver was never connected
      {DeviceChange::Removal, ble, -1, 0, 0},
      {DeviceChange::Removal, L"\\\\?\\HID#VID_FFF0&PID_0640&MI_02#1", 3, 2, 0},
      {DeviceChange::Removal, L"\\\\?\\HID#VID_FFF0&PID_0640&MI_02#1", -1, 0, 0},  // no longer marked
  };
  for (const Case& c : cases) {
    view.Clear();
    connection.UpdateConnectionStatus();  // clears the pending event
    view.Clear();
    connection.OnDeviceChange(c.change, c.name);
    EXPECT_EQ(view.Last("task"), c.task) << WideToUtf8(c.name);
    EXPECT_EQ(connection.PendingEvent().kind, c.kind) << WideToUtf8(c.name);
    EXPECT_EQ(connection.PendingEvent().value, c.value) << WideToUtf8(c.name);
  }
  EXPECT_FALSE(connection.IsModeConnected(0));
}

TEST_F(DeviceConnectionTest, UpdateDrivesQueueTheirUpdateOncePerAppearance) {
  const std::filesystem::path root = sysfs;
  ASSERT_TRUE(vkb::VirtualKeyboard::SetUpdateModeDrive(root, 0x2342, true));
  EXPECT_TRUE(platform::ProbeUpdateModeDrives(0x2342, test::Wide(root)));
  EXPECT_TRUE(platform::ProbeUpdateModeDrives(-1, test::Wide(root)));
  EXPECT_FALSE(platform::ProbeUpdateModeDrives(0x3442, test::Wide(root)));
  connection.RefreshDeviceList();
  connection.RefreshDeviceList();
  EXPECT_EQ(view.All("task"), std::vector<int>{18});

  ASSERT_TRUE(vkb::VirtualKeyboard::SetUpdateModeDrive(root, 0x3442, true));
  ASSERT_TRUE(vkb::VirtualKeyboard::SetUpdateModeDrive(root, 0x2342, false));
  connection.RefreshDeviceList();
  ASSERT_TRUE(vkb::VirtualKeyboard::SetUpdateModeDrive(root, 0x2342, true));
  connection.RefreshDeviceList();
  EXPECT_EQ(view.All("task"), (std::vector<int>{18, 19, 18}));
}

TEST_F(DeviceConnectionTest, UpdateDriveProbeNeedsVendorProductAndStorage) {
  auto write = [&](const std::string& rel, const std::string& text) { test::WriteBytes(sysfs / rel, text); };
  write("bus/usb/devices/1-1/idVendor", "fff0\n");  // right IDs, but a HID device
  write("bus/usb/devices/1-1/idProduct", "2342\n");
  write("bus/usb/devices/1-1/1-1:1.0/bInterfaceClass", "03\n");
  write("bus/usb/devices/1-2/idVendor", "1234\n");  // storage of another vendor
  write("bus/usb/devices/1-2/idProduct", "2342\n");
  write("bus/usb/devices/1-2/1-2:1.0/bInterfaceClass", "08\n");
  write("bus/usb/devices/1-3/idVendor", "zz\n");  // garbage
  EXPECT_FALSE(platform::ProbeUpdateModeDrives(0x2342, test::Wide(sysfs)));
  EXPECT_FALSE(platform::ProbeUpdateModeDrives(0x2342, L"/nonexistent/sysfs"));
}

TEST_F(DeviceConnectionTest, StatusCommandsReachTheKeyboard) {
  keyboard.Plug(Port::Cable);
  Scan();
  EXPECT_TRUE(SetSleepTime(devices, 5));
  EXPECT_TRUE(SetKeyResponseTime(devices, 3));
  EXPECT_EQ(keyboard.State().sleepTime, 5);
  EXPECT_EQ(keyboard.State().keyResponseTime, 3);
  EXPECT_TRUE(ResetKeyAssignments(devices));
  EXPECT_EQ(keyboard.State().keyResets, 1);
  EXPECT_TRUE(RestoreFactorySettings(devices, 301, 0));
  EXPECT_EQ(keyboard.State().factoryResets, 1);
  EXPECT_EQ(keyboard.State().sleepTime, -1);
  keyboard.ClearLog();
  EXPECT_TRUE(RestoreFactorySettings(devices, 250, 0));
  EXPECT_TRUE(RestoreFactorySettings(devices, 250, 2));
  EXPECT_TRUE(RestoreFactorySettings(devices, 100, 0));
  EXPECT_FALSE(RestoreFactorySettings(devices, 400, 0));
  std::vector<vkb::Framing> framings;
  for (const vkb::LogEntry& e : keyboard.Log())
    if (e.direction != vkb::Direction::In) framings.push_back(vkb::DecodeReport(e).framing);
  EXPECT_EQ(framings, (std::vector<vkb::Framing>{vkb::Framing::Feature200, vkb::Framing::Receiver200,
                                                 vkb::Framing::Receiver200, vkb::Framing::Series100}));
}

TEST_F(DeviceConnectionTest, UnplugInTheMiddleOfATaskThenReplug) {
  keyboard.Plug(Port::Cable);
  Scan();
  ASSERT_TRUE(connection.KeyboardConnected());
  // An upload of key functions; the cable is pulled right after the third report.
  int sent = 0;
  for (uint8_t key = 4; key < 24; ++key) {
    if (key == 6) keyboard.InjectFault(Port::Cable, Fault::UnplugAfterWrite);
    Command c = MakeCommand300(0x04, {1, key, key});
    sent += devices.SendCommand(c, false);
  }
  EXPECT_EQ(sent, 3) << "the reports after the unplug fail";
  EXPECT_EQ(keyboard.State().keyFunctions[0][6], 6);
  EXPECT_EQ(keyboard.State().keyFunctions[0][7], 0);
  PollFor(6000);
  EXPECT_FALSE(connection.InterfacesFound());
  EXPECT_EQ(view.Last("status"), 61);

  keyboard.Plug(Port::Cable);
  connection.OnDeviceChange(DeviceChange::Arrival, L"\\\\?\\HID#VID_FFF0&PID_0640&MI_02#X");
  EXPECT_EQ(view.Last("task"), 2);
  Scan();
  EXPECT_TRUE(connection.KeyboardConnected());
  EXPECT_EQ(connection.ConnectionMode(), 0);
  Command c = MakeCommand300(0x04, {1, 30, 31});
  EXPECT_TRUE(devices.SendCommand(c, false));
  EXPECT_EQ(keyboard.State().keyFunctions[0][30], 31);
}

}  // namespace
}  // namespace kl
