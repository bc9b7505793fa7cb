#include "velaui/core/MBalloon.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "velaui/core/MRender.h"
#include "velaui/core/Manager.h"
#include "velaui/core/PaintManager.h"

namespace kl::vela {

namespace {

Font BalloonFont() { return Font{Manager::GetFontName(), 14, FontStyleRegular}; }

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::wstringstream in(text);
  std::wstring line;
  while (std::getline(in, line, L'\n')) lines.push_back(line);
  if (lines.empty()) lines.emplace_back();
  return lines;
}

}  // namespace

bool MBalloon::Create(platform::WindowId owner, PaintManager* images) {
  if (images) {
    m_back = images->AddImgResInfo(L"img_tip_bk.png", 1);
    m_arrowLeft = images->AddImgResInfo(L"img_tip_arrow_left.png", 1);
    m_arrowRight = images->AddImgResInfo(L"img_tip_arrow_right.png", 1);
    m_arrowTop = images->AddImgResInfo(L"img_tip_arrow_top.png", 1);
  }
  return MWindow::Create(owner, L"Balloon Window", 0, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, CRect(0, 0, 10, 10)) != 0;
}

int MBalloon::SetBalloonMsg(const std::wstring& text, CPoint pt, int type, int mode) {
  if (!IsWindow()) return 0;
  if (text == m_text && pt == m_point && type == m_type && mode == m_mode) return 1;
  m_text = text;
  m_point = pt;
  m_type = type;
  m_mode = mode;
  const std::vector<std::wstring> lines = Lines(text);
  int textWidth = 0;
  for (const std::wstring& line : lines) textWidth = std::max(textWidth, Canvas::MeasureText(line, BalloonFont()).cx);
  const int lh = std::max(Canvas::MeasureText(L"Ag", BalloonFont()).cy, 1);
  const int n = static_cast<int>(lines.size());
  CRect r;
  switch (mode) {
    case 1:
      r = CRect(pt.x, pt.y - (n * lh + 20) / 2, pt.x + textWidth + 40, pt.y + (n * lh + 20) - (n * lh + 20) / 2);
      break;
    case 2:
      r = CRect(pt.x - textWidth - 40, pt.y - 27 - (n * lh + 20), pt.x, pt.y - 27);
      break;
    case 4:
      r = CRect(pt.x - (textWidth + 30) / 2, pt.y - (n * lh + 20), pt.x + (textWidth + 30) - (textWidth + 30) / 2, pt.y);
      break;
    case 5:
      r = CRect(pt.x, pt.y - 10, pt.x + textWidth + 40, pt.y - 10 + std::max(n - 2, 0) * lh + 20);
      break;
    default:  // 3
      r = CRect(pt.x - 25, pt.y, pt.x + textWidth + 15, pt.y + n * lh + 30);
      break;
  }
  MoveWindow(r);
  InvalidateRect(nullptr);
  if (type != 4) SetTimer(kHideTimer, kHideMs);
  return 1;
}

LRESULT MBalloon::OnOtherMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER && wParam == kHideTimer) {
    KillTimer(kHideTimer);
    ShowWindow(SW_HIDE);
    return 0;
  }
  return DefaultProc(msg, wParam, lParam);
}

void MBalloon::Paint(Canvas& canvas) {
  const CRect all = canvas.Bounds();
  // The arrow sits on the side facing the anchor; the box takes the rest.
  const ImgResInfo* arrow = m_mode == 1 || m_mode == 5 ? m_arrowLeft : m_mode == 2 ? m_arrowRight : m_mode == 3 ? m_arrowTop : nullptr;
  CRect box = all;
  const int arrowSize = 8;
  if (m_mode == 1 || m_mode == 5) box.left += arrowSize;
  else if (m_mode == 2) box.right -= arrowSize;
  else if (m_mode == 3 || m_mode < 0) box.top += arrowSize;
  canvas.FillSolidRect(all, MakeColorRef(0x13, 0x16, 0x1C));
  if (m_back && m_back->image) {
    MRender::DrawImageFrame(canvas, *m_back->image, box, 0, 0, m_back->image->Width(), m_back->image->Height(), 6);
  } else {
    canvas.FillRect(box, 0xFF232831);
    canvas.DrawRectOutline(box, Manager::GetSelectColor());
  }
  if (arrow && arrow->image) {
    const int aw = arrow->image->Width();
    const int ah = arrow->image->Height();
    CRect a;
    if (m_mode == 1 || m_mode == 5) a = CRect(0, box.top + 10, aw, box.top + 10 + ah);
    else if (m_mode == 2) a = CRect(all.right - aw, box.bottom - ah - 10, all.right, box.bottom - 10);
    else a = CRect(18, 0, 18 + aw, ah);
    canvas.DrawImage(*arrow->image, a, CRect(0, 0, aw, ah));
  }
  const bool centred = m_mode == 4 || m_text.find(L'\n') == std::wstring::npos;
  CRect text = box;
  text.DeflateRect(12, 8);
  canvas.DrawText(m_text, text, BalloonFont(), 0xFFE8ECF0, (centred ? DT_CENTER : DT_LEFT) | DT_VCENTER | DT_WORDBREAK);
}

}  // namespace kl::vela
