// MWindow: one native window of the window system with its message dispatch.
//
// The window system calls OnPlatformMessage for every message; key and mouse messages are first
// offered to PreTranslateMessage (Tab focus moves), then everything goes to OnWindowMessage,
// whose default is DefaultProc (what the desktop does by itself: WM_CLOSE destroys the window,
// WM_NCLBUTTONDOWN on the caption moves it). Every wrapper does nothing and returns 0/false
// when the window does not exist.
//
// Style bits understood by Create (the values the program's windows are created with):
//   WS_VISIBLE 0x10000000 shown after creation    WS_EX_TOPMOST 0x8        stays above others
//   WS_EX_TOOLWINDOW 0x80 no taskbar entry        WS_EX_LAYERED 0x80000    per-pixel alpha
//   WS_EX_NOACTIVATE 0x08000000 showing does not take the focus
//   WS_EX_TRANSPARENT 0x20  click-through: the pointer reaches the window beneath
#pragma once

#include <cstdint>
#include <string>

#include "base/Geometry.h"
#include "platform/WindowSystem.h"

namespace kl::vela {

using DWORD = uint32_t;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_LAYERED = 0x00080000;
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

// The private message that closes a dialog with a result (wParam).
constexpr UINT WM_USERCLOSE = WM_USER + 66;

class MWindow : public platform::WindowListener {
 public:
  MWindow() = default;
  ~MWindow() override;
  MWindow(const MWindow&) = delete;
  MWindow& operator=(const MWindow&) = delete;

  virtual const wchar_t* GetWindowClassName() const { return L"VelaClient"; }
  virtual int ShowWindow(int nCmdShow);
  virtual LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return DefaultProc(msg, wParam, lParam); }
  virtual int PreTranslateMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return 0; }
  virtual int OnInitDialog() { return 1; }
  virtual void OnDestroyMessage(platform::WindowId window) {}

  // Creates the window (rect in screen coordinates) and calls OnInitDialog. Returns the window,
  // the existing one when already created, 0 on failure.
  platform::WindowId Create(platform::WindowId parent, const wchar_t* title, DWORD style, DWORD exStyle, CRect rect);
  platform::WindowId Create(platform::WindowId parent) { return Create(parent, L"VelaClient", 0, 0, CRect(0, 0, 800, 600)); }
  platform::WindowId Create(platform::WindowId parent, CRect rect) { return Create(parent, L"VelaClient", 0, 0, rect); }
  // Shows the window, disables its owner and runs a nested loop until the window is gone;
  // returns the wParam of the WM_CLOSE that ended it, (UINT)-1 when there is no window.
  UINT ShowModal(int nCmdShow = SW_SHOW);
  // Centres over `over` (or the owner when visible), inside the work area.
  void CenterWindow(MWindow* over = nullptr);
  void BringToTop();
  bool DestroyWindow();

  platform::WindowId GetSafeHwnd() const { return m_hWnd; }
  platform::WindowId GetParentHwnd() const { return m_parent; }
  bool IsWindow() const;
  CRect GetClientRect() const;  // (0, 0, width, height)
  CRect GetWindowRect() const;  // screen
  bool SetWindowTextW(const std::wstring& text);
  std::wstring GetWindowTextW() const;
  bool EnableWindow(bool enable);
  bool IsWindowEnabled() const;
  bool IsWindowVisible() const;
  bool IsIconic() const;
  bool InvalidateRect(const CRect* rect);
  bool SetCapture();
  bool ReleaseCapture();
  bool SetFocus();
  bool SetTimer(UINT id, UINT ms);
  bool KillTimer(UINT id);
  CPoint ClientToScreen(CPoint pt) const;
  CPoint ScreenToClient(CPoint pt) const;
  CRect ClientToScreen(CRect rect) const;
  bool MoveWindow(const CRect& screen);
  bool SetTopmost(bool topmost);
  LRESULT SendMessageW(UINT msg, WPARAM wParam, LPARAM lParam);
  bool PostMessageW(UINT msg, WPARAM wParam, LPARAM lParam);
  // The window's icon from a skin file (PNG or ICO; the largest ICO entry). False when the file
  // does not load or there is no window.
  bool SetIcon(const std::wstring& skinFile);

  LRESULT OnPlatformMessage(platform::WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  // What the desktop does when the window does not handle a message itself.
  LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // Popups (menus, drop-downs) bypass the window manager and close on an outside press.
  bool m_popupKind = false;

 private:
  platform::WindowId m_hWnd = 0;
  platform::WindowId m_parent = 0;
  bool m_inModal = false;
  UINT m_modalResult = 0;
};

}  // namespace kl::vela
