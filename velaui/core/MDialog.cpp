#include "velaui/core/MDialog.h"

#include "velaui/core/MControl.h"

namespace kl::vela {

MDialog::MDialog() = default;

MDialog::~MDialog() {
  // Destroy the window while the dialog's handlers still exist.
  DestroyWindow();
}

void MDialog::RequestClose(UINT result) {
  if (!PostMessageW(WM_USERCLOSE, result, 0)) m_pendingClose = result;
}

int MDialog::OnInitDialog() {
  m_pm.Init(GetSafeHwnd(), this);
  m_client = GetClientRect();
  InitUI(m_client);
  if (m_pendingClose) {
    const UINT result = m_pendingClose;
    m_pendingClose = 0;
    PostMessageW(WM_USERCLOSE, result, 0);
  }
  return 1;
}

void MDialog::OnDestroyMessage(platform::WindowId window) {
  if (window == m_pm.GetPaintWnd()) m_pm.DestroyData();
  PostNcDestroy();
}

int MDialog::CreateShadow(int show) {
  if (!IsWindow()) return 0;
  if (m_shadow) {
    m_shadow->SetShow(show != 0);
    return 1;
  }
  auto shadow = std::make_unique<MShadow>();
  shadow->SetShow(show != 0);  // decides whether Create shows it
  if (!shadow->Create(GetSafeHwnd())) return 0;
  m_shadow = std::move(shadow);
  return 1;
}

LRESULT MDialog::OnUserCloseWindow(WPARAM wParam, LPARAM lParam) {
  PostMessageW(WM_CLOSE, wParam, lParam);
  return 1;
}

int MDialog::OnSize(UINT type, int cx, int cy) {
  if (type == SIZE_MINIMIZED) return 0;
  SetupBackTranslucent();
  m_client = GetClientRect();
  if (m_client.Width() > 1 && m_client.Height() > 1) UISize(m_client);
  InvalidateRect(nullptr);
  return 0;
}

void MDialog::SetLayeredWindow(int layered) {
  m_pm.SetLayeredWindow(layered);
  if (platform::WindowSystem* ws = platform::GetWindowSystem(); ws && GetSafeHwnd()) ws->SetLayered(GetSafeHwnd(), layered != 0);
}

void MDialog::SetupBackTranslucent() {
  // A window alpha or a colour key needs per-pixel alpha from the buffer.
  if (m_alpha != 255 || m_colorKey != 0xFFFFFF) SetLayeredWindow(1);
}

CPoint MDialog::GetBalloonPoint(MControl* control, UINT placement) {
  if (!control) return {};
  const CRect r = control->GetRect();
  const int x = placement == 1 ? (r.left + r.right) / 2 : placement == 2 ? r.right : r.left;
  return ClientToScreen(CPoint{x, r.bottom});
}

int MDialog::SetBalloonMsg(const wchar_t* text, CPoint pt, int type) {
  if (pt.x == 0 || pt.y == 0) return 0;
  m_pm.SetBalloonMsg(text, pt, type, 3);
  m_pm.ShowBalloon(1, 0);
  return 1;
}

void MDialog::SetMessage(const std::wstring& text, CRect rect, MsgLevel level) {
  if (rect.IsRectEmpty()) {
    const CRect c = GetClientRect();
    const int left = (c.Width() - 200) / 2;
    rect = CRect(left, c.bottom - 60 + m_msgOffset, left + 200, c.bottom - 2 + m_msgOffset);
  }
  m_pm.SetMessage(text, rect, level);
}

LRESULT MDialog::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const CPoint pt{PointParamX(lParam), PointParamY(lParam)};
  const UINT flags = static_cast<UINT>(wParam);
  // The dialog's own handler sees the message first (its answer does not stop the controls).
  switch (msg) {
    case WM_CREATE: OnCreate(); break;
    case WM_DESTROY:
      m_shadow.reset();  // the shadow goes with its dialog
      OnDestroy();
      break;
    case WM_WINDOWPOSCHANGED:
      if (m_shadow) m_shadow->Update();
      break;
    case WM_SIZE: OnSize(flags, PointParamX(lParam), PointParamY(lParam)); break;
    case WM_PAINT: OnPaint(); break;
    case WM_CLOSE: OnClose(); break;
    case WM_NCACTIVATE: OnNcActivate(static_cast<int>(wParam)); break;
    case WM_TIMER: OnTimer(flags); break;
    case WM_MOUSEMOVE: OnMouseMove(flags, pt); break;
    case WM_LBUTTONDOWN: OnLButtonDown(flags, pt); break;
    case WM_LBUTTONUP: OnLButtonUp(flags, pt); break;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(flags, pt); break;
    case WM_RBUTTONDOWN: OnRButtonDown(flags, pt); break;
    case WM_RBUTTONUP: OnRButtonUp(flags, pt); break;
    case WM_RBUTTONDBLCLK: OnRButtonDblClk(flags, pt); break;
    case WM_MOUSEHOVER: OnMouseHover(flags, pt); break;
    case WM_MOUSELEAVE: OnMouseLeave(); break;
    case WM_ERASEBKGND: return 1;
    case WM_USERCLOSE: return OnUserCloseWindow(wParam, lParam);
    default: break;
  }
  if (const LRESULT r = m_pm.OnWindowMessage(msg, wParam, lParam)) return r;
  return DefaultProc(msg, wParam, lParam);
}

}  // namespace kl::vela
