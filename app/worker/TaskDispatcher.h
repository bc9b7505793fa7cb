// The worker's run routine: one pass runs the first queued task, or, with nothing queued,
// streams a live colour frame on the lighting page and polls the keyboard's status.
//
// | task          | needs a keyboard | work                                                   |
// |---------------|------------------|--------------------------------------------------------|
// | 1             | no               | once per process: device scan, then audio capture      |
// | 2, 3          | no               | device scan (arrival, removal)                         |
// | 4             | yes              | nothing besides disabling and enabling the window      |
// | 5             | yes              | bring the pages in line with the keyboard              |
// | 6, 9, 10, 12  | yes              | key upload, light effect, custom colours, factory      |
// |               |                  | restore; not for device types of 400 and above         |
// | 7, 8          | yes              | 300 series only: macro key reset, profile upload        |
// | 14..19        | no               | version checks, downloads, updaters                    |
// | anything else | -                | nothing                                                |
//
// "Device scan" is RefreshDeviceList followed by UpdateConnectionStatus. Device tasks run with
// the window disabled; tasks 6..10 and 12 then release their waiter (the wait dialog), wait
// 100 ms and enable the window again. A device task queued while no keyboard is connected is
// dropped, and its waiter is released all the same.
#pragma once

#include <memory>

#include "app/device/DeviceConnection.h"
#include "app/worker/TaskQueue.h"
#include "app/worker/WorkerThreadBase.h"

namespace kl {

// The main window as the worker sees it.
class IWorkerHost {
 public:
  virtual ~IWorkerHost() = default;
  virtual void EnableWindow(bool enable) = 0;
  virtual bool IsWindowVisible() const = 0;
  virtual int CurrentPageIndex() const = 0;        // 3 is the lighting page
  virtual int CurrentLightAttributes() const = 0;  // bits of the current light mode
};

// The work of the tasks that the key, macro, lighting and update code owns.
class ITaskBodies {
 public:
  virtual ~ITaskBodies() = default;
  virtual void RunTask(int task) = 0;  // tasks 5..10, 12 and 14..19
  virtual void StartAudioCapture() = 0;  // the end of task 1
  virtual void SendLiveFrame() = 0;      // one music or screen colour frame
};

class TaskDispatcher : public WorkerThreadBase {
 public:
  TaskDispatcher(DeviceConnection& connection, IWorkerHost& host, ITaskBodies& bodies, const Clock& clock);
  ~TaskDispatcher() override;

  void QueueTask(int task, std::shared_ptr<TaskWaiter> waiter = nullptr);
  // Starts the worker and queues the start-up tasks: the software version check (14), then
  // the first device scan (1). Returns what Start returns.
  int StartWithInitialTasks();
  const TaskQueue& Queue() const { return m_queue; }

 protected:
  void Run() override;

 private:
  void RunTaskNumber(int task);

  DeviceConnection& m_connection;
  IWorkerHost& m_host;
  ITaskBodies& m_bodies;
  TaskQueue m_queue;
  bool m_firstScanDone = false;  // worker thread only
};

}  // namespace kl
