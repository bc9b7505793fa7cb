// Painting cost of a VelaUI window on the headless window system: a full repaint of a
// 1280 x 720 window with skinned controls, the repaint of one control, and an idle window
// (which must paint nothing: its "paints" counter stays 0).
#include <benchmark/benchmark.h>

#include "platform/headless/HeadlessWindowSystem.h"
#include "velaui/core/CArea.h"
#include "velaui/core/CPhotoFrame.h"
#include "velaui/core/MDialog.h"
#include "velaui/core/MPicture.h"
#include "velaui/core/Manager.h"

namespace {

using namespace kl;
using namespace kl::vela;

class BenchDialog : public MDialog {
 public:
  CPhotoFrame* oneButton = nullptr;

  void InitUI(CRect client) override {
    PaintManager& pm = GetPaintManager();
    LoadBKImage(L"main_bkg.png");
    auto* caption = new MPicture(this, 2, CRect(0, 0, client.right, 60), 1, 1);
    pm.AddControl(caption, 0);
    caption->SetImage(L"pic_caption.png", 1);
    auto* panel = new CArea(this, 3, CRect(20, 80, client.right - 20, 460), 1, 1);
    pm.AddControl(panel, 0);
    panel->SetTransparent(85, 92, MakeColorRef(0x60, 0x70, 0x88));
    auto* keyboard = new MPicture(this, 4, CRect(95, 90, 1185, 445), 1, 1);
    pm.AddControl(keyboard, 1);
    keyboard->SetImage(L"keyboard/TR640.png", 1);
    // Four rows of ten skinned buttons.
    for (int i = 0; i < 40; ++i) {
      const int x = 20 + (i % 10) * 124;
      const int y = 480 + (i / 10) * 56;
      auto* button = new CPhotoFrame(this, 100 + i, CRect(x, y, x + 116, y + 44), 1, 1);
      pm.AddControl(button, 1);
      button->SetImage(L"btn_apply.png", 4);
      button->SetShowMode(SHOW_MODE_FRAME, 8);
      if (i == 17) oneButton = button;
    }
  }
};

struct Window {
  platform::HeadlessWindowSystem ws;
  BenchDialog dlg;
  Window() {
    platform::SetWindowSystem(&ws);
    dlg.Create(0, L"Bench", WS_VISIBLE, 0, CRect(0, 0, 1280, 720));
    ws.PumpMessages();
  }
  ~Window() {
    dlg.DestroyWindow();
    platform::SetWindowSystem(nullptr);
  }
};

void BM_FullRepaint(benchmark::State& state) {
  Window w;
  const int before = w.dlg.GetPaintManager().GetPaintCount();
  for (auto _ : state) {
    w.dlg.GetPaintManager().Invalidate();
    w.ws.PumpMessages();
  }
  state.counters["paints"] = benchmark::Counter(w.dlg.GetPaintManager().GetPaintCount() - before, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);

void BM_OneControlRepaint(benchmark::State& state) {
  Window w;
  const int before = w.dlg.GetPaintManager().GetPaintCount();
  for (auto _ : state) {
    w.dlg.oneButton->UpdateControl();
    w.ws.PumpMessages();
  }
  state.counters["paints"] = benchmark::Counter(w.dlg.GetPaintManager().GetPaintCount() - before, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_OneControlRepaint)->Unit(benchmark::kMicrosecond);

// One second of an idle window per iteration: timers may run, nothing is painted.
void BM_IdleWindow(benchmark::State& state) {
  Window w;
  const int before = w.dlg.GetPaintManager().GetPaintCount();
  for (auto _ : state) w.ws.AdvanceTime(1000);
  state.counters["paints"] = benchmark::Counter(w.dlg.GetPaintManager().GetPaintCount() - before, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_IdleWindow)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
