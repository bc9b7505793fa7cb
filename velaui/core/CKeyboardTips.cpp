#include "velaui/core/CKeyboardTips.h"

#include "velaui/core/MRender.h"
#include "velaui/core/Manager.h"
#include "velaui/core/PaintManager.h"

namespace kl::vela {

bool CKeyboardTips::Create(platform::WindowId owner, PaintManager* images) {
  if (images) m_back = images->AddImgResInfo(L"img_tip_bk.png", 1);
  return MWindow::Create(owner, L"KeyboardTip Window", 0, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE,
                         CRect(0, 0, kWidth, kHeight)) != 0;
}

int CKeyboardTips::SetBalloonMsg(const wchar_t* title, const wchar_t* text, const wchar_t* detail, CPoint anchor) {
  if (!IsWindow()) return 0;
  const std::wstring t = title ? title : L"", x = text ? text : L"", d = detail ? detail : L"";
  if (t == m_title && x == m_text && d == m_detail && anchor == m_anchor) return 1;
  m_title = t;
  m_text = x;
  m_detail = d;
  m_anchor = anchor;
  MoveWindow(CRect(anchor.x - kWidth / 2, anchor.y - kHeight, anchor.x - kWidth / 2 + kWidth, anchor.y));
  InvalidateRect(nullptr);
  return 1;
}

void CKeyboardTips::Paint(Canvas& canvas) {
  const CRect r = canvas.Bounds();
  canvas.FillSolidRect(r, MakeColorRef(0x13, 0x16, 0x1C));
  if (m_back && m_back->image)
    MRender::DrawImageFrame(canvas, *m_back->image, r, 0, 0, m_back->image->Width(), m_back->image->Height(), 6);
  else
    canvas.DrawRectOutline(r, Manager::GetSelectColor());
  const std::wstring face = Manager::GetFontName();
  const unsigned centred = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
  canvas.DrawText(m_title, CRect(8, 8, r.right - 8, 38), Font{face, 18, FontStyleBold}, 0xFFFFFFFF, centred);
  canvas.DrawText(m_text, CRect(8, 40, r.right - 8, 64), Font{face, 14, 0}, Manager::GetSelectColor(), centred);
  canvas.DrawText(m_detail, CRect(8, 66, r.right - 8, 90), Font{face, 14, 0}, 0xFF9AA3AE, centred);
}

}  // namespace kl::vela
