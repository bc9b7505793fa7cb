#include "velaui/core/TooltipWnd.h"

#include <algorithm>

#include "velaui/core/Manager.h"

namespace kl::vela {

namespace {
constexpr int kPadX = 8;
constexpr int kPadY = 5;
Font TipFont() { return Font{Manager::GetFontName(), 12, FontStyleRegular}; }
}  // namespace

bool TooltipWnd::ShowTip(platform::WindowId owner, const std::wstring& text, CPoint cursor) {
  platform::WindowSystem* ws = platform::GetWindowSystem();
  if (!ws || text.empty()) return false;
  const CSize size = Canvas::MeasureText(text, TipFont(), kMaxWidth, DT_WORDBREAK);
  const int w = size.cx + 2 * kPadX;
  const int h = size.cy + 2 * kPadY;
  const CRect work = ws->GetWorkArea(cursor);
  int left = std::max(std::min(cursor.x + 12, work.right - w), work.left);
  int top = cursor.y + 20;
  if (top + h > work.bottom) top = cursor.y - h - 4;
  const CRect bounds(left, top, left + w, top + h);
  if (!IsWindow() && !Create(owner, L"Tooltip", 0, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, bounds)) return false;
  m_text = text;
  MoveWindow(bounds);
  ShowWindow(SW_SHOWNOACTIVATE);
  InvalidateRect(nullptr);
  return true;
}

void TooltipWnd::Hide() {
  if (IsWindowVisible()) ShowWindow(SW_HIDE);
}

void TooltipWnd::Paint(Canvas& canvas) {
  const CRect r = canvas.Bounds();
  canvas.FillSolidRect(r, MakeColorRef(0x1B, 0x1F, 0x26));
  canvas.DrawRectOutline(r, 0xFF3A4250);
  CRect text = r;
  text.DeflateRect(kPadX, kPadY);
  canvas.DrawText(m_text, text, TipFont(), 0xFFE8ECF0, DT_LEFT | DT_TOP | DT_WORDBREAK);
}

}  // namespace kl::vela
