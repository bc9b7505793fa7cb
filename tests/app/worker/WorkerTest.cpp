#include "app/worker/TaskDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/device/StatusCommands.h"
#include "tests/TestSupport.h"
#include "tests/app/device/DeviceTestSupport.h"

namespace kl {
namespace {

using vkb::Port;

// The window and the task bodies, recorded in one sequence so that order shows.
class RecordingHost : public IWorkerHost, public ITaskBodies {
 public:
  void EnableWindow(bool enable) override { Add(enable ? "enable" : "disable"); }
  bool IsWindowVisible() const override { return visible; }
  int CurrentPageIndex() const override { return page; }
  int CurrentLightAttributes() const override { return attributes; }
  void RunTask(int task) override {
    Add("task " + std::to_string(task));
    if (task == throwingTask) throw std::runtime_error("task failed");
  }
  void StartAudioCapture() override { Add("audio"); }
  void SendLiveFrame() override { Add("frame"); }

  std::vector<std::string> Events() const {
    std::lock_guard g(m_lock);
    return m_events;
  }
  void Add(const std::string& event) {
    std::lock_guard g(m_lock);
    m_events.push_back(event);
  }

  std::atomic<bool> visible{true};
  std::atomic<int> page{0};
  std::atomic<int> attributes{0};
  std::atomic<int> throwingTask{-1};

 private:
  mutable std::mutex m_lock;
  std::vector<std::string> m_events;
};

// The connection view, forwarding queued tasks to the dispatcher as the main window does.
class ForwardingView : public test::RecordingView {
 public:
  void QueueTask(int task) override {
    RecordingView::QueueTask(task);
    if (dispatcher) dispatcher->QueueTask(task);
  }
  TaskDispatcher* dispatcher = nullptr;
};

// Runs single passes on the test thread.
class SteppedDispatcher : public TaskDispatcher {
 public:
  using TaskDispatcher::TaskDispatcher;
  using TaskDispatcher::Run;
};

class WorkerTest : public ::testing::Test, public test::VirtualRig {
 protected:
  WorkerTest()
      : sysfs(test::ScratchFolder()),
        connection(devices, view, config.modes, test::Wide(sysfs)),
        dispatcher(connection, host, host, clock) {
    view.dispatcher = &dispatcher;
  }
  void RunUntilEmpty() {
    for (int pass = 0; pass < 100 && !dispatcher.Queue().Empty(); ++pass) dispatcher.Run();
    ASSERT_TRUE(dispatcher.Queue().Empty());
  }
  void Connect() {
    keyboard.Plug(Port::Cable);
    dispatcher.QueueTask(2);
    dispatcher.Run();
    // The scan queued 15, 16 and 5; let them run.
    RunUntilEmpty();
    ASSERT_TRUE(connection.KeyboardConnected());
  }

  std::filesystem::path sysfs;
  RecordingHost host;
  ForwardingView view;
  DeviceConnection connection;
  SteppedDispatcher dispatcher;
};

TEST_F(WorkerTest, DeviceTasksWithoutKeyboardAreDroppedAndReleaseTheirWaiter) {
  auto waiter6 = std::make_shared<TaskWaiter>();
  auto waiter9 = std::make_shared<TaskWaiter>();
  dispatcher.QueueTask(6, waiter6);
  dispatcher.QueueTask(9, waiter9);
  dispatcher.Run();
  dispatcher.Run();
  EXPECT_TRUE(dispatcher.Queue().Empty());
  EXPECT_TRUE(host.Events().empty()) << "no body ran and the window was not disabled";
  EXPECT_TRUE(waiter6->IsReleased());
  EXPECT_TRUE(waiter9->IsReleased());
  EXPECT_TRUE(keyboard.Log().empty());
  // A dialog that opens after the drop is closed at once.
  bool closed = false;
  waiter6->OnRelease([&] { closed = true; });
  EXPECT_TRUE(closed);
}

TEST_F(WorkerTest, DeviceTaskRunsInsideTheDisabledWindow) {
  Connect();
  const size_t before = host.Events().size();
  auto waiter = std::make_shared<TaskWaiter>();
  std::vector<std::string> atRelease;
  waiter->OnRelease([&] { atRelease = host.Events(); });
  dispatcher.QueueTask(6, waiter);
  dispatcher.Run();
  const std::vector<std::string> all = host.Events();
  const std::vector<std::string> events(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
  EXPECT_EQ(events, (std::vector<std::string>{"disable", "task 6", "enable"}));
  ASSERT_TRUE(waiter->IsReleased());
  EXPECT_EQ(atRelease.back(), "task 6") << "the wait dialog closes before the window is enabled";
}

TEST_F(WorkerTest, TaskTableBySeries) {
  Connect();
  struct Case {
    int deviceType, task;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {301, 4, {"disable", "enable"}},
      {301, 5, {"disable", "task 5", "enable"}},
      {301, 7, {"disable", "task 7", "enable"}},
      {201, 7, {"disable", "enable"}},
      {201, 8, {"disable", "enable"}},
      {201, 9, {"disable", "task 9", "enable"}},
      {400, 9, {"disable", "enable"}},
      {400, 12, {"disable", "enable"}},
      {301, 11, {}},
      {301, 13, {}},
      {301, 17, {"task 17"}},
      {301, 42, {}},
  };
  for (const Case& c : cases) {
    connection.SetDeviceType(c.deviceType);
    const size_t before = host.Events().size();
    dispatcher.QueueTask(c.task);
    dispatcher.Run();
    const std::vector<std::string> all = host.Events();
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()), c.events)
        << "type " << c.deviceType << " task " << c.task;
    EXPECT_TRUE(dispatcher.Queue().Empty());
  }
}

TEST_F(WorkerTest, FirstScanRunsOnceAndAThrowingTaskDoesNotBlockTheQueue) {
  keyboard.Plug(Port::Cable);
  dispatcher.QueueTask(1);
  dispatcher.QueueTask(1);
  dispatcher.Run();
  dispatcher.Run();
  EXPECT_EQ(view.All("reset-states").size(), 1u);
  EXPECT_EQ(host.Events(), std::vector<std::string>{"audio"});
  RunUntilEmpty();  // 15, 16 and 5 from the scan

  host.throwingTask = 14;
  auto waiter = std::make_shared<TaskWaiter>();
  dispatcher.QueueTask(14, waiter);
  dispatcher.Run();
  EXPECT_TRUE(waiter->IsReleased());
  EXPECT_TRUE(dispatcher.Queue().Empty());
  host.throwingTask = 6;
  dispatcher.QueueTask(6);
  dispatcher.Run();
  EXPECT_EQ(host.Events().back(), "enable") << "the window comes back after a failed task";
}

TEST_F(WorkerTest, IdlePassSendsLiveFramesOnlyWhenTheLightPageShowsMusicOrScreen) {
  Connect();
  struct Case {
    bool visible;
    int page, attributes, deviceType;
    bool frame;
  };
  const Case cases[] = {
      {true, 3, 0x200, 301, true},  {true, 3, 0x400, 150, true},   {false, 3, 0x200, 301, false},
      {true, 2, 0x200, 301, false}, {true, 3, 0x100, 301, false},  {true, 3, 0x200, 250, false},
  };
  for (const Case& c : cases) {
    host.visible = c.visible;
    host.page = c.page;
    host.attributes = c.attributes;
    connection.SetDeviceType(c.deviceType);
    const size_t before = host.Events().size();
    dispatcher.Run();
    const std::vector<std::string> all = host.Events();
    const bool framed = all.size() > before && all.back() == "frame";
    EXPECT_EQ(framed, c.frame) << c.visible << " " << c.page << " " << c.attributes << " " << c.deviceType;
  }
}

TEST_F(WorkerTest, ThreadRunsStartupTasksInOrderAndServesTheWindowThread) {
  keyboard.Plug(Port::Cable);
  // Lets the window-thread traffic below run on the real worker.
  SteppedDispatcher& worker = dispatcher;
  ASSERT_EQ(worker.StartWithInitialTasks(), 1);
  EXPECT_EQ(worker.Start(), 0) << "already running";
  auto settled = [&] {
    for (int i = 0; i < 2000; ++i) {
      if (connection.KeyboardConnected() && worker.Queue().Empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  };
  ASSERT_TRUE(settled());
  const std::vector<std::string> events = host.Events();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0], "task 14") << "the version check comes before the first scan";
  EXPECT_EQ(events[1], "audio");

  // The window thread sends single reports directly and queues tasks, while the worker polls
  // and hot-plug rescans rebuild the set. A direct write that meets a rescan finds no write
  // interface and reports false; it never reaches a closed handle.
  std::vector<std::shared_ptr<TaskWaiter>> waiters;
  for (int i = 0; i < 10; ++i) {
    SetSleepTime(devices, i);
    auto w = std::make_shared<TaskWaiter>();
    waiters.push_back(w);
    worker.QueueTask(i % 2 ? 6 : 2, w);
    connection.OnDeviceChange(DeviceChange::Arrival, L"\\\\?\\HID#VID_FFF0&PID_0640&MI_02#1");
  }
  for (auto& w : waiters) EXPECT_TRUE(w->WaitReleased(10000));
  ASSERT_TRUE(settled());
  EXPECT_TRUE(SetSleepTime(devices, 42));
  worker.Stop();
  EXPECT_FALSE(worker.IsRunning());
  EXPECT_EQ(keyboard.State().sleepTime, 42);
}

TEST_F(WorkerTest, UnplugDuringATaskOnTheWorker) {
  keyboard.Plug(Port::Cable);
  host.throwingTask = -1;
  // Task 6's body: an upload of 40 key functions through the transport.
  class UploadBodies : public ITaskBodies {
   public:
    explicit UploadBodies(HidDeviceSet& d) : devices(d) {}
    void RunTask(int task) override {
      if (task != 6) return;
      for (uint8_t key = 4; key < 44; ++key) {
        Command c = MakeCommand300(0x04, {1, key, 1});
        devices.SendCommand(c, false);
        devices.GetClock().SleepMs(50);
      }
    }
    void StartAudioCapture() override {}
    void SendLiveFrame() override {}
    HidDeviceSet& devices;
  } bodies(devices);
  TaskDispatcher worker(connection, host, bodies, clock);
  view.dispatcher = &worker;
  worker.QueueTask(2);
  worker.Start();
  auto waitFor = [](auto condition) {
    for (int i = 0; i < 3000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return condition();
  };
  ASSERT_TRUE(waitFor([&] { return connection.KeyboardConnected() && worker.Queue().Empty(); }));
  auto waiter = std::make_shared<TaskWaiter>();
  worker.QueueTask(6, waiter);
  ASSERT_TRUE(waitFor([&] { return keyboard.State().keyFunctions[0][10] != 0; }));
  keyboard.Unplug(Port::Cable);
  connection.OnDeviceChange(DeviceChange::Removal, L"\\\\?\\HID#VID_FFF0&PID_0640&MI_02#1");
  ASSERT_TRUE(waiter->WaitReleased(10000)) << "the task ends although the keyboard is gone";
  ASSERT_TRUE(waitFor([&] { return !connection.InterfacesFound(); }));

  keyboard.Plug(Port::Cable);
  connection.OnDeviceChange(DeviceChange::Arrival, L"\\\\?\\HID#VID_FFF0&PID_0640&MI_02#2");
  ASSERT_TRUE(waitFor([&] { return connection.KeyboardConnected() && connection.ConnectionMode() == 0; }));
  worker.Stop();
  EXPECT_EQ(view.Last("status"), 60);
}

}  // namespace
}  // namespace kl
