// The window layer VelaUI sits on: windows, painting, input, messages, timers and shell bits.
//
// One process-wide WindowSystem is installed at start-up (the X11 one in the program, the
// headless one in tests). Its user is the UI thread: the thread that installed it. Windows
// deliver their events as Windows-style messages (platform/Messages.h) to the WindowListener
// given at creation, always on the UI thread.
//
// Thread rules, per operation below:
//   [ui]  UI thread only; from another thread the call does nothing and returns its failure value.
//   [any] any thread.
// Failure results: a WindowId of 0 means "no window"; operations on a window that does not
// exist (0, destroyed, never created) do nothing and return false / 0 / an empty value.
//
// Message order of a window's life:
//   CreateWindow ........ WM_CREATE (inside CreateWindow, before it returns)
//   ShowWindow(true) .... WM_SHOWWINDOW, WM_SIZE (first show), later WM_PAINT when idle
//   DestroyWindow ....... WM_DESTROY, then WM_NCDESTROY (the listener is dropped after it)
// WM_WINDOWPOSCHANGED follows every change of a window's place on the screen: a move or resize
// (after WM_MOVE / WM_SIZE), showing, hiding, minimising, restoring, and a change of its stacking
// (raised, activated, made topmost, PlaceBehind). Windows that ride along with another (drop
// shadows) follow it from there.
// Painting: Invalidate collects a dirty rect; when the loop is idle the window gets WM_PAINT,
// the listener calls BeginPaint (which hands over and clears the dirty rect) and Present.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Geometry.h"
#include "platform/Messages.h"

namespace kl::platform {

using WindowId = uint32_t;
using TickId = uint32_t;

class WindowListener {
 public:
  virtual ~WindowListener() = default;
  // Called on the UI thread for every message of the window; the answer goes back to the
  // sender of a Send.
  virtual LRESULT OnPlatformMessage(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

enum class WindowKind {
  TopLevel,  // frameless, has a taskbar entry unless skipTaskbar
  Tool,      // frameless utility window owned by another (dialogs, tips): no taskbar entry
  Popup,     // menus, drop-downs: bypasses the window manager; closes on a press outside it
};

struct WindowParams {
  WindowKind kind = WindowKind::TopLevel;
  WindowId owner = 0;            // stays above its owner; 0 = none
  std::wstring className = L"VelaClient";
  std::wstring title;
  CRect bounds;                  // screen coordinates of the client area (windows are frameless)
  bool topmost = false;
  bool layered = false;          // per-pixel alpha from the presented buffer
  bool noActivate = false;       // showing does not take activation or focus (tooltips, balloons)
  bool clickThrough = false;     // takes no pointer input: presses, moves and wheels reach the window beneath
};

enum class Cursor { Arrow, Wait, Cross, SizeWE, SizeNS, Hand, Help };

// A read-only view of premultiplied ARGB32 pixels (the layout of Cairo image surfaces).
struct PixelView {
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // in pixels
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // ---- windows ----
  // [ui] Creates a hidden window; WM_CREATE reaches the listener before this returns.
  // Returns 0 when the window cannot be made (bad size, backend failure).
  virtual WindowId CreateWindow(const WindowParams& params, WindowListener* listener) = 0;
  // [ui] Sends WM_DESTROY and WM_NCDESTROY, releases capture and focus, forgets the window.
  virtual bool DestroyWindow(WindowId window) = 0;
  // [any]
  virtual bool IsWindow(WindowId window) const = 0;
  // [ui] Shows or hides; showing activates the window (WM_NCACTIVATE 1) unless noActivate.
  virtual bool ShowWindow(WindowId window, bool show) = 0;
  virtual bool IsWindowVisible(WindowId window) const = 0;  // [any]
  // [ui] Iconifies a shown top-level window: WM_SIZE with SIZE_MINIMIZED, no paints, no input.
  // Showing or activating it again restores it (WM_SIZE with SIZE_RESTORED).
  virtual bool MinimizeWindow(WindowId window) = 0;
  virtual bool IsMinimized(WindowId window) const = 0;  // [any]
  // [ui] Moves and resizes (screen coordinates); a size change sends WM_SIZE, a move WM_MOVE.
  virtual bool SetWindowBounds(WindowId window, const CRect& screen) = 0;
  virtual CRect GetWindowBounds(WindowId window) const = 0;  // [any]; empty when no window
  virtual bool SetWindowTitle(WindowId window, const std::wstring& title) = 0;  // [ui]
  virtual std::wstring GetWindowTitle(WindowId window) const = 0;             // [any]
  virtual WindowId GetOwner(WindowId window) const = 0;                       // [any]
  virtual bool SetTopmost(WindowId window, bool topmost) = 0;                 // [ui]
  virtual bool IsTopmost(WindowId window) const = 0;                          // [any]
  // [ui] Restacks `window` directly beneath `above` (both ours); false when either is missing.
  virtual bool PlaceBehind(WindowId window, WindowId above) = 0;
  // [ui] A disabled window gets no mouse or key input (modal loops disable the owner).
  virtual bool EnableWindow(WindowId window, bool enable) = 0;
  virtual bool IsWindowEnabled(WindowId window) const = 0;  // [any]
  virtual bool SetLayered(WindowId window, bool layered) = 0;  // [ui]
  // [ui] Icon pixels: straight (not premultiplied) ARGB, row by row.
  virtual bool SetIcon(WindowId window, int width, int height, const std::vector<uint32_t>& argb) = 0;
  // [ui] Raises and gives keyboard focus; the old active window gets WM_NCACTIVATE 0.
  virtual bool ActivateWindow(WindowId window) = 0;
  virtual WindowId GetActiveWindow() const = 0;  // [any]
  // [any] Our windows whose class and title match exactly (an empty title matches any title).
  virtual std::vector<WindowId> FindWindows(const std::wstring& className, const std::wstring& title) const = 0;
  // [any] The usable screen area (without panels) of the monitor holding `near`.
  virtual CRect GetWorkArea(CPoint nearPoint) const = 0;

  // ---- painting ----
  // [any] Adds `rect` (client coordinates; null = the whole client area) to the dirty rect.
  virtual bool Invalidate(WindowId window, const CRect* rect) = 0;
  // [ui] Hands over the dirty rect (clipped to the client area) and clears it.
  virtual CRect BeginPaint(WindowId window) = 0;
  // [ui] Puts the `dirty` part of `buffer` (client-sized) on the screen.
  virtual bool Present(WindowId window, const PixelView& buffer, const CRect& dirty) = 0;

  // ---- input ----
  virtual bool SetCapture(WindowId window) = 0;  // [ui] mouse input goes to `window` until released
  virtual bool ReleaseCapture() = 0;             // [ui] the old capture window gets WM_CAPTURECHANGED
  virtual WindowId GetCapture() const = 0;       // [any]
  // [ui] Asks for one WM_MOUSEHOVER after `hoverMs` without movement and one WM_MOUSELEAVE when the
  // pointer leaves; both end the request (as TrackMouseEvent does).
  virtual bool TrackMouse(WindowId window, int hoverMs) = 0;
  // [ui] Moves the window with the pointer while the left button stays down (a title-bar drag).
  virtual bool StartMoveDrag(WindowId window, CPoint screenPoint) = 0;
  virtual bool SetCursor(WindowId window, Cursor cursor) = 0;  // [ui]
  virtual bool SetFocus(WindowId window) = 0;                  // [ui] keyboard focus
  virtual WindowId GetFocus() const = 0;                       // [any]
  // [ui] Text input with the input method on (editing) or off (key assignment).
  virtual bool SetImeEnabled(WindowId window, bool enabled) = 0;
  // [any] Whether a key (virtual-key code, also VK_LBUTTON etc.) is down right now.
  virtual bool IsKeyDown(UINT vk) const = 0;
  virtual CPoint GetCursorPos() const = 0;  // [any] screen coordinates

  // ---- messages ----
  // [any] Queues a message for the window; false when the window does not exist.
  virtual bool Post(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  // [ui] Delivers at once and returns the listener's answer; 0 when the window does not exist.
  virtual LRESULT Send(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  // [any] Runs `task` on the UI thread, after the messages already queued.
  virtual void PostTask(std::function<void()> task) = 0;
  // [any] Runs `task` on the UI thread and waits for it (on the UI thread: runs it at once).
  // False when the UI thread did not start it within `timeoutMs` (the task is then dropped).
  // Built on PostTask, so every backend shares it.
  bool RunSync(std::function<void()> task, int timeoutMs);
  // [ui] Dispatches messages, timers and paints until `keepRunning` returns false (checked after
  // every dispatched item) or a quit is posted. Loops nest (modal dialogs). Returns false when it
  // ended because of a quit; the quit stays pending so that outer loops end too.
  virtual bool RunMessageLoop(const std::function<bool()>& keepRunning) = 0;
  virtual void PostQuit(int exitCode) = 0;  // [any]
  virtual bool IsQuitPending() const = 0;   // [any]
  virtual int QuitCode() const = 0;         // [any]

  // ---- timers (both kinds fire on the UI thread) ----
  // [ui] WM_TIMER with wParam `id` every `ms` to the window; re-setting an ID restarts it.
  virtual bool SetTimer(WindowId window, UINT id, UINT ms) = 0;
  virtual bool KillTimer(WindowId window, UINT id) = 0;  // [ui] false when there was none
  // [ui] A periodic callback not tied to a window (the shared animation tick). 0 on failure.
  virtual TickId StartTick(UINT ms, std::function<void(TickId)> callback) = 0;
  virtual bool StopTick(TickId tick) = 0;  // [ui]
  virtual uint64_t NowMs() const = 0;      // [any] monotonic milliseconds

  // ---- shell ----
  virtual bool OpenUrl(const std::wstring& url) = 0;                 // [any] false when nothing was started
  virtual bool SetClipboardText(const std::wstring& text) = 0;       // [ui]
  virtual std::wstring GetClipboardText() = 0;                       // [ui] empty when none
  // [ui] Makes the window accept dropped images and files; false when the desktop offers no
  // drag-and-drop for it (the window then simply takes no drops).
  virtual bool RegisterDropTarget(WindowId window) = 0;
  // [any] True when a compositing manager runs (layered windows get real translucency).
  virtual bool HasCompositor() const = 0;
};

namespace detail {
struct Installed {
  std::atomic<WindowSystem*> system{nullptr};
  std::atomic<std::thread::id> uiThread{};
};
inline Installed& InstalledSystem() {
  static Installed installed;
  return installed;
}
}  // namespace detail

// The installed window system; null before SetWindowSystem. [any]
inline WindowSystem* GetWindowSystem() { return detail::InstalledSystem().system.load(); }
// Installs `system` (null uninstalls) and makes the calling thread the UI thread. Call before
// any window exists; the caller keeps ownership.
inline void SetWindowSystem(WindowSystem* system) {
  detail::InstalledSystem().uiThread.store(std::this_thread::get_id());
  detail::InstalledSystem().system.store(system);
}
// [any] True on the thread that installed the window system.
inline bool IsUiThread() { return detail::InstalledSystem().uiThread.load() == std::this_thread::get_id(); }

inline bool WindowSystem::RunSync(std::function<void()> task, int timeoutMs) {
  if (!task) return false;
  if (IsUiThread()) {
    task();
    return true;
  }
  struct State {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    bool cancelled = false;
  };
  auto state = std::make_shared<State>();
  PostTask([state, task = std::move(task)] {
    {
      std::lock_guard lock(state->lock);
      if (state->cancelled) return;
    }
    task();
    std::lock_guard lock(state->lock);
    state->finished = true;
    state->done.notify_all();
  });
  std::unique_lock lock(state->lock);
  if (state->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return state->finished; })) return true;
  state->cancelled = true;
  return false;
}

}  // namespace kl::platform
