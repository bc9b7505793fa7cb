// The window system of the tests: windows are records with their presented pixels, input is
// injected, and time is a fake clock that only moves when the test (or an idle loop) moves it.
//
// Message loops never block for long: when nothing is queued and no paint is due, the loop
// jumps the clock to the next timer; when there is no timer either, it waits up to
// kIdleWaitMs for a post from another thread and then ends (as if its keepRunning had
// answered false), so a test that forgets to close a modal dialog fails instead of hanging.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "platform/ClickTracker.h"
#include "platform/TimerList.h"
#include "platform/WindowSystem.h"

namespace kl::platform {

class HeadlessWindowSystem : public WindowSystem {
 public:
  static constexpr int kIdleWaitMs = 1000;
  // A nested loop stops jumping the clock after this much fake time without an end.
  static constexpr uint64_t kMaxLoopFakeMs = 10 * 60 * 1000;

  HeadlessWindowSystem();
  ~HeadlessWindowSystem() override;

  WindowId CreateWindow(const WindowParams& params, WindowListener* listener) override;
  bool DestroyWindow(WindowId window) override;
  bool IsWindow(WindowId window) const override;
  bool ShowWindow(WindowId window, bool show) override;
  bool IsWindowVisible(WindowId window) const override;
  bool MinimizeWindow(WindowId window) override;
  bool IsMinimized(WindowId window) const override;
  bool SetWindowBounds(WindowId window, const CRect& screen) override;
  CRect GetWindowBounds(WindowId window) const override;
  bool SetWindowTitle(WindowId window, const std::wstring& title) override;
  std::wstring GetWindowTitle(WindowId window) const override;
  WindowId GetOwner(WindowId window) const override;
  bool SetTopmost(WindowId window, bool topmost) override;
  bool IsTopmost(WindowId window) const override;
  bool PlaceBehind(WindowId window, WindowId above) override;
  bool EnableWindow(WindowId window, bool enable) override;
  bool IsWindowEnabled(WindowId window) const override;
  bool SetLayered(WindowId window, bool layered) override;
  bool SetIcon(WindowId window, int width, int height, const std::vector<uint32_t>& argb) override;
  bool ActivateWindow(WindowId window) override;
  WindowId GetActiveWindow() const override;
  std::vector<WindowId> FindWindows(const std::wstring& className, const std::wstring& title) const override;
  CRect GetWorkArea(CPoint nearPoint) const override;

  bool Invalidate(WindowId window, const CRect* rect) override;
  CRect BeginPaint(WindowId window) override;
  bool Present(WindowId window, const PixelView& buffer, const CRect& dirty) override;

  bool SetCapture(WindowId window) override;
  bool ReleaseCapture() override;
  WindowId GetCapture() const override;
  bool TrackMouse(WindowId window, int hoverMs) override;
  bool StartMoveDrag(WindowId window, CPoint screenPoint) override;
  bool SetCursor(WindowId window, Cursor cursor) override;
  bool SetFocus(WindowId window) override;
  WindowId GetFocus() const override;
  bool SetImeEnabled(WindowId window, bool enabled) override;
  bool IsKeyDown(UINT vk) const override;
  CPoint GetCursorPos() const override;

  bool Post(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) override;
  LRESULT Send(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) override;
  void PostTask(std::function<void()> task) override;
  bool RunMessageLoop(const std::function<bool()>& keepRunning) override;
  void PostQuit(int exitCode) override;
  bool IsQuitPending() const override;
  int QuitCode() const override;

  bool SetTimer(WindowId window, UINT id, UINT ms) override;
  bool KillTimer(WindowId window, UINT id) override;
  TickId StartTick(UINT ms, std::function<void(TickId)> callback) override;
  bool StopTick(TickId tick) override;
  uint64_t NowMs() const override;

  bool OpenUrl(const std::wstring& url) override;
  bool SetClipboardText(const std::wstring& text) override;
  std::wstring GetClipboardText() override;
  bool RegisterDropTarget(WindowId window) override;
  bool HasCompositor() const override { return m_compositor; }

  // ---- test controls ----
  // Dispatches every queued message and task, then paints dirty windows; repeats until idle.
  void PumpMessages();
  // Moves the fake clock forward, firing due timers, ticks and hovers in time order (pumping
  // after each). Runs on the UI thread.
  void AdvanceTime(uint64_t ms);
  // Pointer input at a screen point: goes to the capture window, else the topmost visible window
  // under the point that is not click-through. Presses synthesize double clicks; a press outside an open popup deactivates
  // the popup (WM_NCACTIVATE 0) and is not delivered. Each call pumps afterwards.
  void MouseMove(CPoint screen);
  void MouseButton(UINT downMsg, CPoint screen, bool down);  // downMsg: WM_LBUTTONDOWN/RBUTTONDOWN/MBUTTONDOWN
  void Click(CPoint screen);                                  // left press and release
  void Wheel(CPoint screen, int delta);
  // Keys go to the focus window; WM_SYSKEYDOWN while Alt is down, as on Windows.
  void Key(UINT vk, bool down);
  void Char(wchar_t ch);
  // The presented pixels of a window (client-sized, premultiplied ARGB); 0 outside.
  uint32_t PixelAt(WindowId window, int x, int y) const;
  std::vector<uint32_t> Pixels(WindowId window) const;
  int PresentCount(WindowId window) const;
  CRect LastPresentRect(WindowId window) const;
  Cursor CurrentCursor(WindowId window) const;
  bool IsLayered(WindowId window) const;
  // Our windows from the bottom of the stack to the top.
  std::vector<WindowId> StackingOrder() const;
  bool IsImeEnabled(WindowId window) const;
  const std::vector<std::wstring>& OpenedUrls() const { return m_openedUrls; }
  void SetDropTargetsAvailable(bool available) { m_dropAvailable = available; }
  void SetCompositor(bool compositor) { m_compositor = compositor; }
  void SetWorkArea(const CRect& area) { m_workArea = area; }

 private:
  struct Window {
    WindowParams params;
    WindowListener* listener = nullptr;
    bool visible = false;
    bool minimized = false;
    bool enabled = true;
    bool shownOnce = false;
    CRect dirty;
    std::vector<uint32_t> surface;
    int presents = 0;
    CRect lastPresent;
    Cursor cursor = Cursor::Arrow;
    bool ime = true;
    int trackHoverMs = -1;  // -1 no tracking request
    bool dropTarget = false;
  };
  struct Item {
    WindowId window = 0;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> task;
  };

  Window* Find(WindowId window);
  const Window* Find(WindowId window) const;
  LRESULT Deliver(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam);
  bool DispatchOne();
  bool PaintOne();
  bool FireNextTimer(uint64_t limit);
  WindowId WindowAt(CPoint screen) const;
  void Raise(WindowId window);
  void PosChanged(WindowId window) { Deliver(window, WM_WINDOWPOSCHANGED, 0, 0); }
  void MovePointerTo(WindowId target);
  void Restore(WindowId window);
  UINT KeyFlags() const;

  mutable std::mutex m_lock;  // guards m_windows' records, m_queue, m_quit* for [any] callers
  std::condition_variable m_posted;
  std::map<WindowId, Window> m_windows;
  std::vector<WindowId> m_zOrder;  // bottom to top
  std::deque<Item> m_queue;
  bool m_quit = false;
  int m_quitCode = 0;
  WindowId m_nextId = 1;
  TimerList m_timers;
  uint64_t m_now = 1000;
  // Read from any thread, written on the UI thread.
  std::atomic<WindowId> m_active{0};
  std::atomic<WindowId> m_focus{0};
  std::atomic<WindowId> m_capture{0};
  WindowId m_pointerWindow = 0;
  CPoint m_pointer{-10000, -10000};
  uint64_t m_lastMoveMs = 0;
  WindowId m_moveDrag = 0;
  CPoint m_moveDragOffset;
  bool m_keys[256] = {};
  ClickTracker m_clicks;
  std::wstring m_clipboard;
  std::vector<std::wstring> m_openedUrls;
  bool m_dropAvailable = true;
  bool m_compositor = true;
  CRect m_workArea{0, 0, 1920, 1040};
};

}  // namespace kl::platform
