// The X11 window system: frameless windows on an X server.
//
// - Top-level and tool windows are managed (Motif hints without decorations, EWMH window type
//   and states); popups and tips are override-redirect and place themselves.
// - Layered windows use a 32-bit ARGB visual when a compositing manager owns _NET_WM_CM_Sn, and
//   otherwise an opaque window shaped (XShape) by the buffer's alpha.
// - Presenting copies the dirty rect with MIT-SHM when the server offers it, else XPutImage.
// - The loop polls the X connection, an eventfd (posts from other threads) and a timerfd (the
//   next window timer or tick), so every timer and tick fires on the UI thread.
// - Click-through windows have an empty input shape: the server hands their pointer events to
//   the windows beneath.
// - X errors are recorded, never fatal: a failed call shows as a failed operation.
#pragma once

#include <memory>

#include "platform/WindowSystem.h"

namespace kl::platform {

class X11WindowSystem : public WindowSystem {
 public:
  // Connects to $DISPLAY (or `display`); null when no X server can be reached.
  static std::unique_ptr<X11WindowSystem> Open(const char* display = nullptr);
  ~X11WindowSystem() override;

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
  bool HasCompositor() const override;

  // The X window of one of ours (0 when none); for tests that drive windows with XTest.
  unsigned long NativeWindow(WindowId window) const;

  struct Impl;

 private:
  explicit X11WindowSystem(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m;
};

// The Windows virtual-key code of an X keysym (0 for keys without one). Letters map to their
// upper-case codes, the numeric keypad to VK_NUMPAD*, modifiers to their left/right codes.
UINT KeysymToVirtualKey(unsigned long keysym);

}  // namespace kl::platform
