#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "tests/velaui/HeadlessFixture.h"

namespace kl::test {
namespace {

using platform::WindowId;

struct Recorder : platform::WindowListener {
  struct Msg {
    UINT msg;
    WPARAM w;
    LPARAM l;
  };
  std::vector<Msg> seen;
  LRESULT OnPlatformMessage(WindowId, UINT msg, WPARAM w, LPARAM l) override {
    seen.push_back({msg, w, l});
    return msg == WM_USER + 1 ? 42 : 0;
  }
  std::vector<UINT> Only(std::initializer_list<UINT> wanted) const {
    std::vector<UINT> out;
    for (const Msg& m : seen)
      for (UINT w : wanted)
        if (m.msg == w) out.push_back(m.msg);
    return out;
  }
};

class HeadlessWindowSystemTest : public HeadlessTest {
 protected:
  WindowId Make(Recorder& r, CRect bounds, platform::WindowKind kind = platform::WindowKind::TopLevel, WindowId owner = 0,
                const std::wstring& title = L"T") {
    platform::WindowParams p;
    p.kind = kind;
    p.owner = owner;
    p.bounds = bounds;
    p.title = title;
    return m_ws.CreateWindow(p, &r);
  }
};

TEST_F(HeadlessWindowSystemTest, LifeCycleMessagesAndFailures) {
  Recorder r;
  EXPECT_EQ(Make(r, CRect(0, 0, 0, 10)), 0u) << "an empty window is refused";
  const WindowId w = Make(r, CRect(10, 10, 110, 60));
  ASSERT_NE(w, 0u);
  EXPECT_EQ(r.Only({WM_CREATE}).size(), 1u);
  EXPECT_TRUE(m_ws.ShowWindow(w, true));
  EXPECT_TRUE(m_ws.DestroyWindow(w));
  EXPECT_EQ(r.Only({WM_DESTROY, WM_NCDESTROY}), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(m_ws.IsWindow(w));
  EXPECT_FALSE(m_ws.ShowWindow(w, true));
  EXPECT_FALSE(m_ws.Post(w, WM_USER, 0, 0));
  EXPECT_EQ(m_ws.Send(w, WM_USER + 1, 0, 0), 0);
  EXPECT_TRUE(m_ws.GetWindowBounds(w).IsRectEmpty());
}

TEST_F(HeadlessWindowSystemTest, FindsWindowsByClassAndTitleFromAnyThread) {
  Recorder r;
  const WindowId a = Make(r, CRect(0, 0, 10, 10), platform::WindowKind::Tool, 0, L"MessageBox");
  Make(r, CRect(0, 0, 10, 10), platform::WindowKind::Tool, 0, L"WaitDlg");
  std::vector<WindowId> found;
  std::thread other([&] { found = m_ws.FindWindows(L"VelaClient", L"MessageBox"); });
  other.join();
  EXPECT_EQ(found, std::vector<WindowId>{a});
  EXPECT_EQ(m_ws.FindWindows(L"VelaClient", L"").size(), 2u);
  EXPECT_TRUE(m_ws.FindWindows(L"Other", L"MessageBox").empty());
}

TEST_F(HeadlessWindowSystemTest, PostsFromOtherThreadsAndRunSyncRunOnTheUiThread) {
  Recorder r;
  const WindowId w = Make(r, CRect(0, 0, 10, 10));
  std::atomic<bool> ranOnUi{false};
  std::thread worker([&] {
    EXPECT_TRUE(m_ws.Post(w, WM_USER + 5, 7, 8));
    EXPECT_TRUE(m_ws.RunSync([&] { ranOnUi = platform::IsUiThread(); }, 5000));
  });
  // The loop runs until the worker's synchronous task has been served.
  m_ws.RunMessageLoop([&] { return !ranOnUi.load(); });
  worker.join();
  EXPECT_TRUE(ranOnUi);
  ASSERT_EQ(r.Only({WM_USER + 5}).size(), 1u);
  EXPECT_EQ(m_ws.Send(w, WM_USER + 1, 0, 0), 42);
}

TEST_F(HeadlessWindowSystemTest, RunSyncTimesOutWhenTheUiThreadDoesNotServeIt) {
  bool result = true;
  std::thread worker([&] { result = m_ws.RunSync([] {}, 50); });
  worker.join();  // the UI thread never pumps here
  EXPECT_FALSE(result);
  m_ws.PumpMessages();  // the dropped task must not run late either
}

TEST_F(HeadlessWindowSystemTest, TimersAndTicksFireInTimeOrderOnTheFakeClock) {
  Recorder r;
  const WindowId w = Make(r, CRect(0, 0, 10, 10));
  std::vector<std::string> order;
  struct TimerLog : platform::WindowListener {
    std::vector<std::string>* order;
    LRESULT OnPlatformMessage(WindowId, UINT msg, WPARAM w, LPARAM) override {
      if (msg == WM_TIMER) order->push_back("timer" + std::to_string(w));
      return 0;
    }
  } log;
  log.order = &order;
  platform::WindowParams p;
  p.bounds = CRect(0, 0, 10, 10);
  const WindowId lw = m_ws.CreateWindow(p, &log);
  ASSERT_TRUE(m_ws.SetTimer(lw, 5, 25));
  ASSERT_NE(m_ws.StartTick(20, [&](platform::TickId) { order.push_back("tick"); }), 0u);
  m_ws.AdvanceTime(65);
  EXPECT_EQ(order, (std::vector<std::string>{"tick", "timer5", "tick", "timer5", "tick"}));  // 20 25 40 50 60
  EXPECT_TRUE(m_ws.KillTimer(lw, 5));
  EXPECT_FALSE(m_ws.KillTimer(lw, 5));
  EXPECT_FALSE(m_ws.SetTimer(w + 100, 1, 10)) << "no timer for a window that does not exist";
}

TEST_F(HeadlessWindowSystemTest, SecondPressInTimeAndPlaceIsADoubleClickAndAThirdStartsOver) {
  Recorder r;
  const WindowId w = Make(r, CRect(100, 100, 300, 200));
  m_ws.ShowWindow(w, true);
  const CPoint p{150, 150};
  m_ws.Click(p);
  m_ws.Click(p);
  m_ws.Click(p);
  m_ws.AdvanceTime(600);
  m_ws.Click(p);
  m_ws.Click({p.x + 10, p.y});  // too far from the first press
  EXPECT_EQ(r.Only({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
  // The point arrives in client coordinates.
  const auto& down = *std::find_if(r.seen.begin(), r.seen.end(), [](const Recorder::Msg& m) { return m.msg == WM_LBUTTONDOWN; });
  EXPECT_EQ(PointParamX(down.l), 50);
  EXPECT_EQ(PointParamY(down.l), 50);
}

TEST_F(HeadlessWindowSystemTest, PressOutsideAnOpenPopupDeactivatesItAndIsNotDelivered) {
  Recorder main;
  Recorder popup;
  const WindowId w = Make(main, CRect(0, 0, 400, 300));
  m_ws.ShowWindow(w, true);
  const WindowId p = Make(popup, CRect(50, 50, 150, 150), platform::WindowKind::Popup, w);
  m_ws.ShowWindow(p, true);
  EXPECT_EQ(m_ws.GetActiveWindow(), p);
  main.seen.clear();
  m_ws.Click({300, 250});
  ASSERT_FALSE(popup.seen.empty());
  EXPECT_EQ(popup.seen.back().msg, WM_NCACTIVATE);
  EXPECT_EQ(popup.seen.back().w, 0u);
  EXPECT_TRUE(main.Only({WM_LBUTTONDOWN}).empty()) << "the dismissing press is eaten";
}

TEST_F(HeadlessWindowSystemTest, DisabledWindowsGetNoInputAndCaptureRedirectsIt) {
  Recorder a;
  Recorder b;
  const WindowId wa = Make(a, CRect(0, 0, 100, 100));
  const WindowId wb = Make(b, CRect(200, 0, 300, 100));
  m_ws.ShowWindow(wa, true);
  m_ws.ShowWindow(wb, true);
  m_ws.EnableWindow(wa, false);
  m_ws.Click({50, 50});
  EXPECT_TRUE(a.Only({WM_LBUTTONDOWN}).empty());
  m_ws.EnableWindow(wa, true);
  m_ws.SetCapture(wa);
  m_ws.MouseMove({250, 50});
  ASSERT_FALSE(a.Only({WM_MOUSEMOVE}).empty());
  EXPECT_TRUE(b.Only({WM_MOUSEMOVE}).empty());
  EXPECT_EQ(PointParamX(a.seen.back().l), 250);
}

TEST_F(HeadlessWindowSystemTest, ClickThroughWindowPassesThePointerToTheWindowBeneath) {
  Recorder below;
  Recorder over;
  const WindowId wb = Make(below, CRect(0, 0, 200, 200));
  m_ws.ShowWindow(wb, true);
  platform::WindowParams p;
  p.bounds = CRect(50, 50, 150, 150);
  p.clickThrough = true;
  p.noActivate = true;
  const WindowId wo = m_ws.CreateWindow(p, &over);
  m_ws.ShowWindow(wo, true);
  ASSERT_EQ(m_ws.StackingOrder().back(), wo) << "it is on top, yet takes nothing";
  m_ws.MouseMove({100, 100});
  m_ws.Click({100, 100});
  m_ws.Wheel({100, 100}, -WHEEL_DELTA);
  EXPECT_TRUE(over.Only({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEWHEEL}).empty());
  EXPECT_EQ(below.Only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEWHEEL}),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEWHEEL}));
}

TEST_F(HeadlessWindowSystemTest, PlacementChangesAreReportedAndPlaceBehindRestacks) {
  Recorder a;
  Recorder b;
  Recorder c;
  const WindowId wa = Make(a, CRect(0, 0, 100, 100));
  const WindowId wb = Make(b, CRect(0, 0, 100, 100));
  const WindowId wc = Make(c, CRect(0, 0, 100, 100));
  for (WindowId w : {wa, wb, wc}) m_ws.ShowWindow(w, true);
  ASSERT_EQ(m_ws.StackingOrder(), (std::vector<WindowId>{wa, wb, wc}));
  // Each change of place, visibility or stacking ends with WM_WINDOWPOSCHANGED.
  struct Case {
    const char* what;
    std::function<bool()> change;
  };
  const Case cases[] = {
      {"move", [&] { return m_ws.SetWindowBounds(wa, CRect(10, 0, 110, 100)); }},
      {"resize", [&] { return m_ws.SetWindowBounds(wa, CRect(10, 0, 120, 100)); }},
      {"hide", [&] { return m_ws.ShowWindow(wa, false); }},
      {"show", [&] { return m_ws.ShowWindow(wa, true); }},
      {"minimise", [&] { return m_ws.MinimizeWindow(wa); }},
      {"restore", [&] { return m_ws.ShowWindow(wa, true); }},
      {"activate", [&] { return m_ws.ActivateWindow(wb) && m_ws.ActivateWindow(wa); }},
      {"topmost", [&] { return m_ws.SetTopmost(wa, false); }},
      {"restack", [&] { return m_ws.PlaceBehind(wa, wc); }},
  };
  for (const Case& k : cases) {
    a.seen.clear();
    ASSERT_TRUE(k.change()) << k.what;
    ASSERT_FALSE(a.seen.empty()) << k.what;
    EXPECT_EQ(a.seen.back().msg, WM_WINDOWPOSCHANGED) << k.what;
  }
  a.seen.clear();
  EXPECT_TRUE(m_ws.SetWindowBounds(wa, m_ws.GetWindowBounds(wa)));
  EXPECT_TRUE(a.Only({WM_WINDOWPOSCHANGED}).empty()) << "nothing changed, nothing reported";

  const std::vector<WindowId> order = m_ws.StackingOrder();
  const auto at = [&](WindowId w) { return std::find(order.begin(), order.end(), w) - order.begin(); };
  EXPECT_EQ(at(wa) + 1, at(wc)) << "directly beneath";
  EXPECT_FALSE(m_ws.PlaceBehind(wa, wa));
  EXPECT_FALSE(m_ws.PlaceBehind(wa, 999));
  EXPECT_EQ(m_ws.StackingOrder(), order) << "a failed restack changes nothing";
}

TEST_F(HeadlessWindowSystemTest, MouseTrackingReportsHoverAndLeaveOnce) {
  Recorder r;
  const WindowId w = Make(r, CRect(0, 0, 100, 100));
  m_ws.ShowWindow(w, true);
  m_ws.MouseMove({10, 10});
  m_ws.TrackMouse(w, 400);
  m_ws.AdvanceTime(399);
  EXPECT_TRUE(r.Only({WM_MOUSEHOVER}).empty());
  m_ws.AdvanceTime(1);
  EXPECT_EQ(r.Only({WM_MOUSEHOVER}).size(), 1u);
  m_ws.TrackMouse(w, 400);
  m_ws.MouseMove({500, 500});
  m_ws.MouseMove({600, 600});
  EXPECT_EQ(r.Only({WM_MOUSELEAVE}).size(), 1u);
}

TEST_F(HeadlessWindowSystemTest, MessageLoopEndsWhenNothingCanHappenInsteadOfHanging) {
  Recorder r;
  const WindowId w = Make(r, CRect(0, 0, 10, 10));
  m_ws.SetTimer(w, 1, 100);
  int timers = 0;
  struct Count : platform::WindowListener {
    int* n;
    LRESULT OnPlatformMessage(WindowId, UINT msg, WPARAM, LPARAM) override { return msg == WM_TIMER ? ++*n : 0; }
  } counter;
  counter.n = &timers;
  platform::WindowParams p;
  p.bounds = CRect(0, 0, 10, 10);
  const WindowId cw = m_ws.CreateWindow(p, &counter);
  m_ws.SetTimer(cw, 1, 100);
  // Virtual time runs while the loop waits: three timer periods pass.
  EXPECT_TRUE(m_ws.RunMessageLoop([&] { return timers < 3; }));
  EXPECT_EQ(timers, 3);
  EXPECT_GE(m_ws.NowMs(), 1300u);
  m_ws.PostQuit(5);
  EXPECT_FALSE(m_ws.RunMessageLoop([] { return true; }));
  EXPECT_EQ(m_ws.QuitCode(), 5);
}

TEST_F(HeadlessWindowSystemTest, KeysGoToTheFocusWindowAsSysKeysWhileAltIsDown) {
  Recorder r;
  const WindowId w = Make(r, CRect(0, 0, 10, 10));
  m_ws.ShowWindow(w, true);
  m_ws.Key('A', true);
  m_ws.Key('A', true);  // auto-repeat
  m_ws.Key('A', false);
  m_ws.Key(VK_LMENU, true);
  m_ws.Key(VK_F4, true);
  EXPECT_EQ(r.Only({WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN}),
            (std::vector<UINT>{WM_KEYDOWN, WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYDOWN}));
  EXPECT_TRUE(m_ws.IsKeyDown(VK_MENU));
  std::vector<LPARAM> downs;
  for (const auto& m : r.seen)
    if (m.msg == WM_KEYDOWN) downs.push_back(m.l);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_FALSE(downs[0] & (1 << 30));
  const auto repeat = Recorder::Msg{WM_KEYDOWN, 0, downs[1]};
  EXPECT_TRUE(repeat.l & (1 << 30)) << "the repeat flag is set on the second press";
}

}  // namespace
}  // namespace kl::test
