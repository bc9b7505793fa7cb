#include "velaui/core/MWindow.h"

#include <algorithm>

#include "velaui/core/Image.h"
#include "velaui/core/Manager.h"

namespace kl::vela {

namespace {
platform::WindowSystem* WS() { return platform::GetWindowSystem(); }
}  // namespace

MWindow::~MWindow() {
  // The object goes before its window: the window must not call into a dead object.
  if (m_hWnd && WS()) WS()->DestroyWindow(m_hWnd);
  Manager::DeleteWnd(this);
}

platform::WindowId MWindow::Create(platform::WindowId parent, const wchar_t* title, DWORD style, DWORD exStyle, CRect rect) {
  if (m_hWnd) return m_hWnd;
  platform::WindowSystem* ws = WS();
  if (!ws) return 0;
  m_parent = parent;
  platform::WindowParams params;
  params.kind = m_popupKind ? platform::WindowKind::Popup
                            : ((exStyle & WS_EX_TOOLWINDOW) || parent) ? platform::WindowKind::Tool : platform::WindowKind::TopLevel;
  params.owner = parent;
  params.className = GetWindowClassName();
  params.title = title ? title : L"";
  params.bounds = rect;
  params.topmost = (exStyle & WS_EX_TOPMOST) != 0;
  params.layered = (exStyle & WS_EX_LAYERED) != 0;
  params.noActivate = (exStyle & WS_EX_NOACTIVATE) != 0;
  params.clickThrough = (exStyle & WS_EX_TRANSPARENT) != 0;
  // WM_CREATE arrives inside CreateWindow and sets m_hWnd.
  if (!ws->CreateWindow(params, this)) return 0;
  Manager::AddWnd(this);
  OnInitDialog();
  if (m_hWnd && (style & WS_VISIBLE)) ShowWindow(params.noActivate ? SW_SHOWNOACTIVATE : SW_SHOW);
  return m_hWnd;
}

LRESULT MWindow::OnPlatformMessage(platform::WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) m_hWnd = window;
  if (window != m_hWnd) return 0;
  const bool input = (msg >= WM_KEYDOWN && msg <= WM_SYSKEYUP) || (msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL);
  if (input && PreTranslateMessage(msg, wParam, lParam)) return 0;
  if (msg == WM_CLOSE && m_inModal) m_modalResult = static_cast<UINT>(wParam);
  const LRESULT result = OnWindowMessage(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    m_hWnd = 0;
    Manager::DeleteWnd(this);
    OnDestroyMessage(window);
  }
  return result;
}

LRESULT MWindow::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    DestroyWindow();
    return 0;
  }
  if (msg == WM_NCLBUTTONDOWN && wParam == HTCAPTION && m_hWnd)
    WS()->StartMoveDrag(m_hWnd, {PointParamX(lParam), PointParamY(lParam)});
  return 0;
}

int MWindow::ShowWindow(int nCmdShow) {
  if (!IsWindow()) return 0;
  if (nCmdShow == SW_MINIMIZE) return WS()->MinimizeWindow(m_hWnd) ? 1 : 0;
  // Showing a minimised window (SW_RESTORE, SW_SHOW) gives it back.
  return WS()->ShowWindow(m_hWnd, nCmdShow != SW_HIDE) ? 1 : 0;
}

bool MWindow::IsIconic() const { return IsWindow() && WS()->IsMinimized(m_hWnd); }

UINT MWindow::ShowModal(int nCmdShow) {
  if (!IsWindow()) return static_cast<UINT>(-1);
  platform::WindowSystem* ws = WS();
  const platform::WindowId self = m_hWnd;
  const platform::WindowId owner = ws->GetOwner(self);
  m_inModal = true;
  m_modalResult = 0;
  ShowWindow(nCmdShow);
  if (owner) ws->EnableWindow(owner, false);
  ws->RunMessageLoop([&] { return ws->IsWindow(self); });
  m_inModal = false;
  if (owner && ws->IsWindow(owner)) {
    ws->EnableWindow(owner, true);
    if (ws->IsWindowVisible(owner)) ws->ActivateWindow(owner);
  }
  return m_modalResult;
}

void MWindow::CenterWindow(MWindow* over) {
  if (!IsWindow()) return;
  platform::WindowSystem* ws = WS();
  const CRect me = GetWindowRect();
  platform::WindowId reference = over ? over->GetSafeHwnd() : ws->GetOwner(m_hWnd);
  if (reference && !ws->IsWindowVisible(reference)) reference = 0;
  const CRect refRect = reference ? ws->GetWindowBounds(reference) : CRect();
  const CRect work = ws->GetWorkArea(reference ? refRect.CenterPoint() : me.CenterPoint());
  const CRect basis = reference ? refRect : work;
  int left = basis.CenterPoint().x - me.Width() / 2;
  int top = basis.CenterPoint().y - me.Height() / 2;
  left = std::max(std::min(left, work.right - me.Width()), work.left);
  top = std::max(std::min(top, work.bottom - me.Height()), work.top);
  MoveWindow(CRect(left, top, left + me.Width(), top + me.Height()));
}

void MWindow::BringToTop() {
  if (!IsWindow()) return;
  WS()->ShowWindow(m_hWnd, true);
  WS()->ActivateWindow(m_hWnd);
}

bool MWindow::DestroyWindow() { return IsWindow() && WS()->DestroyWindow(m_hWnd); }

bool MWindow::IsWindow() const { return m_hWnd && WS() && WS()->IsWindow(m_hWnd); }

CRect MWindow::GetClientRect() const {
  if (!IsWindow()) return {};
  const CRect b = WS()->GetWindowBounds(m_hWnd);
  return CRect(0, 0, b.Width(), b.Height());
}

CRect MWindow::GetWindowRect() const { return IsWindow() ? WS()->GetWindowBounds(m_hWnd) : CRect(); }

bool MWindow::SetWindowTextW(const std::wstring& text) { return IsWindow() && WS()->SetWindowTitle(m_hWnd, text); }
std::wstring MWindow::GetWindowTextW() const { return IsWindow() ? WS()->GetWindowTitle(m_hWnd) : std::wstring(); }
bool MWindow::EnableWindow(bool enable) { return IsWindow() && WS()->EnableWindow(m_hWnd, enable); }
bool MWindow::IsWindowEnabled() const { return IsWindow() && WS()->IsWindowEnabled(m_hWnd); }
bool MWindow::IsWindowVisible() const { return IsWindow() && WS()->IsWindowVisible(m_hWnd); }
bool MWindow::InvalidateRect(const CRect* rect) { return IsWindow() && WS()->Invalidate(m_hWnd, rect); }
bool MWindow::SetCapture() { return IsWindow() && WS()->SetCapture(m_hWnd); }
bool MWindow::ReleaseCapture() { return WS() && WS()->GetCapture() == m_hWnd && m_hWnd && WS()->ReleaseCapture(); }
bool MWindow::SetFocus() { return IsWindow() && WS()->SetFocus(m_hWnd); }
bool MWindow::SetTimer(UINT id, UINT ms) { return IsWindow() && WS()->SetTimer(m_hWnd, id, ms); }
bool MWindow::KillTimer(UINT id) { return IsWindow() && WS()->KillTimer(m_hWnd, id); }
bool MWindow::MoveWindow(const CRect& screen) { return IsWindow() && WS()->SetWindowBounds(m_hWnd, screen); }
bool MWindow::SetTopmost(bool topmost) { return IsWindow() && WS()->SetTopmost(m_hWnd, topmost); }

CPoint MWindow::ClientToScreen(CPoint pt) const {
  const CRect b = GetWindowRect();
  return {pt.x + b.left, pt.y + b.top};
}

CPoint MWindow::ScreenToClient(CPoint pt) const {
  const CRect b = GetWindowRect();
  return {pt.x - b.left, pt.y - b.top};
}

CRect MWindow::ClientToScreen(CRect rect) const {
  const CRect b = GetWindowRect();
  rect.OffsetRect(b.left, b.top);
  return rect;
}

LRESULT MWindow::SendMessageW(UINT msg, WPARAM wParam, LPARAM lParam) {
  return IsWindow() ? WS()->Send(m_hWnd, msg, wParam, lParam) : 0;
}

bool MWindow::PostMessageW(UINT msg, WPARAM wParam, LPARAM lParam) {
  return m_hWnd && WS() && WS()->Post(m_hWnd, msg, wParam, lParam);
}

bool MWindow::SetIcon(const std::wstring& skinFile) {
  if (!IsWindow()) return false;
  std::unique_ptr<Image> image = Image::LoadFromFile(Manager::SkinPath(skinFile));
  if (!image) return false;
  // The window system takes straight alpha; our frames are premultiplied.
  cairo_surface_t* s = image->Frame(0);
  cairo_surface_flush(s);
  const auto* px = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s));
  const int stride = cairo_image_surface_get_stride(s) / 4;
  std::vector<uint32_t> argb;
  argb.reserve(static_cast<size_t>(image->Width()) * image->Height());
  for (int y = 0; y < image->Height(); ++y)
    for (int x = 0; x < image->Width(); ++x) {
      const uint32_t p = px[y * stride + x];
      const uint32_t a = p >> 24;
      auto straight = [a](uint32_t c) { return a ? std::min<uint32_t>(255, (c * 255 + a / 2) / a) : 0; };
      argb.push_back((a << 24) | (straight((p >> 16) & 0xFF) << 16) | (straight((p >> 8) & 0xFF) << 8) | straight(p & 0xFF));
    }
  return WS()->SetIcon(m_hWnd, image->Width(), image->Height(), argb);
}

}  // namespace kl::vela
