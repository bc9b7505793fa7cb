// The idle worker pass against the virtual keyboard, on the real clock: what one pass costs
// (a status poll: one read with a 10 ms timeout, plus the 0x0E exchange every 5 s) and how
// regular the 16 ms loop is over many passes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <vector>

#include "app/config/Configuration.h"
#include "app/worker/TaskDispatcher.h"
#include "vkb/VirtualKeyboard.h"

namespace {

using namespace kl;

class QuietView : public IConnectionView {
 public:
  void CloseSecondaryWindows() override {}
  void SetStatusText(int) override {}
  void SelectTab(int) override {}
  void ShowTabs(bool) override {}
  void ShowPageArea(bool) override {}
  void ShowBattery(bool) override {}
  void SetModeIcon(const std::wstring&) override {}
  void ShowModeIcon(bool) override {}
  void SetDeviceName(int) override {}
  void SetPicture(const std::wstring&) override {}
  void ApplyPageSet(int) override {}
  void ResetAllDeviceStates() override {}
  void SetDeviceState(int, int) override {}
  void SetBatteryInfo(int) override {}
  void QueueTask(int) override {}  // the tasks a scan queues have no bodies here
};

// Notes the start of every idle pass (the dispatcher asks whether the window is visible).
class TimingHost : public IWorkerHost, public ITaskBodies {
 public:
  void EnableWindow(bool) override {}
  bool IsWindowVisible() const override {
    std::lock_guard g(m_lock);
    m_starts.push_back(std::chrono::steady_clock::now());
    return true;
  }
  int CurrentPageIndex() const override { return 0; }
  int CurrentLightAttributes() const override { return 0; }
  void RunTask(int) override {}
  void StartAudioCapture() override {}
  void SendLiveFrame() override {}
  std::vector<std::chrono::steady_clock::time_point> Starts() const {
    std::lock_guard g(m_lock);
    return m_starts;
  }

 private:
  mutable std::mutex m_lock;
  mutable std::vector<std::chrono::steady_clock::time_point> m_starts;
};

class SteppedDispatcher : public TaskDispatcher {
 public:
  using TaskDispatcher::Run;
  using TaskDispatcher::TaskDispatcher;
};

struct Rig {
  Rig() : keyboard(RealClock()), devices(keyboard, RealClock()) {
    LoadConfiguration(KL_DATA_DIR_W, config);
    for (const ModeFilter& f : config.ModeFilters()) devices.AddModeFilter(f);
    keyboard.Plug(vkb::Port::Cable);
  }
  Configuration config;
  vkb::VirtualKeyboard keyboard;
  HidDeviceSet devices;
  QuietView view;
  TimingHost host;
};

void BM_IdleWorkerPass(benchmark::State& state) {
  Rig rig;
  DeviceConnection connection(rig.devices, rig.view, rig.config.modes, L"/nonexistent");
  connection.RefreshDeviceList();
  connection.UpdateConnectionStatus();
  SteppedDispatcher dispatcher(connection, rig.host, rig.host, RealClock());
  for (auto _ : state) dispatcher.Run();
}
BENCHMARK(BM_IdleWorkerPass)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The running worker thread: the period between idle passes and its spread.
void BM_IdleWorkerPeriod(benchmark::State& state) {
  const size_t passes = static_cast<size_t>(state.range(0));
  std::vector<double> periods;
  for (auto _ : state) {
    Rig rig;
    DeviceConnection connection(rig.devices, rig.view, rig.config.modes, L"/nonexistent");
    connection.RefreshDeviceList();
    connection.UpdateConnectionStatus();
    TaskDispatcher worker(connection, rig.host, rig.host, RealClock());
    worker.Start();
    while (rig.host.Starts().size() < passes + 1) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    worker.Stop();
    const auto starts = rig.host.Starts();
    for (size_t i = 1; i <= passes; ++i)
      periods.push_back(std::chrono::duration<double, std::milli>(starts[i] - starts[i - 1]).count());
  }
  double sum = 0, worst = 0;
  for (double p : periods) sum += p;
  const double mean = sum / static_cast<double>(periods.size());
  double var = 0;
  for (double p : periods) {
    var += (p - mean) * (p - mean);
    worst = std::max(worst, std::abs(p - mean));
  }
  state.counters["period_ms"] = mean;
  state.counters["jitter_sd_ms"] = std::sqrt(var / static_cast<double>(periods.size()));
  state.counters["jitter_max_ms"] = worst;
}
BENCHMARK(BM_IdleWorkerPeriod)->Arg(400)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
