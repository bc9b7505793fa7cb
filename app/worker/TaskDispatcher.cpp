#include "app/worker/TaskDispatcher.h"

#include "app/device/Protocol.h"

namespace kl {

namespace {

constexpr int kLightingPage = 3;
constexpr int kMusicOrScreenLight = 0x200 | 0x400;
constexpr int kAfterTaskPauseMs = 100;

bool IsDeviceTask(int task) { return (task >= 4 && task <= 10) || task == 12; }

}  // namespace

TaskDispatcher::TaskDispatcher(DeviceConnection& connection, IWorkerHost& host, ITaskBodies& bodies,
                               const Clock& clock)
    : WorkerThreadBase(clock), m_connection(connection), m_host(host), m_bodies(bodies) {}

TaskDispatcher::~TaskDispatcher() { Stop(); }

void TaskDispatcher::QueueTask(int task, std::shared_ptr<TaskWaiter> waiter) { m_queue.Push(task, std::move(waiter)); }

int TaskDispatcher::StartWithInitialTasks() {
  const int started = Start();
  QueueTask(14);
  QueueTask(1);
  return started;
}

void TaskDispatcher::RunTaskNumber(int task) {
  const Series series = SeriesOf(m_connection.DeviceType());
  switch (task) {
    case 1:
      if (m_firstScanDone) return;
      m_firstScanDone = true;
      m_connection.RefreshDeviceList();
      m_connection.UpdateConnectionStatus();
      m_bodies.StartAudioCapture();
      return;
    case 2:
    case 3:
      m_connection.RefreshDeviceList();
      m_connection.UpdateConnectionStatus();
      return;
    case 5:
      m_bodies.RunTask(task);
      return;
    case 6:
    case 9:
    case 10:
    case 12:
      if (series != Series::None) m_bodies.RunTask(task);
      return;
    case 7:
    case 8:
      if (series == Series::S300) m_bodies.RunTask(task);
      return;
    default:
      if (task >= 14 && task <= 19) m_bodies.RunTask(task);
      return;  // 4: nothing; unknown numbers: nothing
  }
}

void TaskDispatcher::Run() {
  // Linux sleeps are accurate to well below a millisecond: no timer resolution to request.
  if (const std::optional<QueuedTask> front = m_queue.Front()) {
    const int task = front->number;
    // A task that throws must not stay at the head of the queue and run forever.
    try {
      if (!IsDeviceTask(task)) {
        RunTaskNumber(task);
      } else if (m_connection.InterfacesFound() && m_connection.KeyboardConnected()) {
        m_host.EnableWindow(false);
        try {
          RunTaskNumber(task);
        } catch (...) {
          m_host.EnableWindow(true);
          throw;
        }
        if (task != 4 && task != 5) {
          if (front->waiter) front->waiter->Release();
          m_clock.SleepMs(kAfterTaskPauseMs);
        }
        m_host.EnableWindow(true);
      }
    } catch (...) {
    }
    m_queue.PopFront();
    if (front->waiter) front->waiter->Release();  // no-op when already released
    return;
  }
  if (!m_connection.InterfacesFound()) return;
  const int type = m_connection.DeviceType();
  if (m_host.IsWindowVisible() && m_host.CurrentPageIndex() == kLightingPage &&
      (type < 200 || SeriesOf(type) == Series::S300) && (m_host.CurrentLightAttributes() & kMusicOrScreenLight))
    m_bodies.SendLiveFrame();
  m_connection.StatusPoll();
}

}  // namespace kl
