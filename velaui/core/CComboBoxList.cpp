#include "velaui/core/CComboBoxList.h"

#include <algorithm>

#include "velaui/core/Manager.h"
#include "velaui/core/Notify.h"

namespace kl::vela {

CComboBoxList::CComboBoxList(MObject* parent, UINT id, CRect rect, int visible, int enabled)
    : MControlFont(parent, id, rect, L"", visible, enabled, 1) {}

int CComboBoxList::AddItem(const std::wstring& text, long data, const std::wstring& text2, ARGB color) {
  m_items.push_back({text, text2, color, data});
  UpdateControl(1, 0);
  return GetItemCount() - 1;
}

const ComboItem* CComboBoxList::GetItem(int index) const {
  return index >= 0 && index < GetItemCount() ? &m_items[static_cast<size_t>(index)] : nullptr;
}

int CComboBoxList::VisibleRows() const { return std::max(m_rect.Height() / kRowHeight, 1); }

int CComboBoxList::MaxTop() const { return std::max(GetItemCount() - VisibleRows(), 0); }

bool CComboBoxList::SetCurSel(int index) {
  if (index < -1 || index >= GetItemCount()) return false;
  m_selected = index;
  if (index >= 0) {
    if (index < m_top) m_top = index;
    else if (index >= m_top + VisibleRows()) m_top = index - VisibleRows() + 1;
    m_top = std::clamp(m_top, 0, MaxTop());
  }
  UpdateControl(1, 0);
  return true;
}

int CComboBoxList::RowAt(CPoint pt) const {
  if (!m_rect.PtInRect(pt)) return -1;
  const int row = m_top + (pt.y - m_rect.top) / kRowHeight;
  return row < GetItemCount() ? row : -1;
}

void CComboBoxList::SetHover(int index) {
  if (index == m_hover) return;
  m_hover = index;
  UpdateControl(1, 0);
}

int CComboBoxList::OnControlMouseMove(UINT, CPoint pt) {
  if (!m_enabled) return 0;
  SetHover(RowAt(pt));
  return m_rect.PtInRect(pt) ? 1 : 0;
}

int CComboBoxList::OnControlLButtonDown(UINT, CPoint pt) {
  if (!m_enabled) return 0;
  m_pressed = RowAt(pt);
  SetHover(m_pressed);
  return m_pressed >= 0 ? 1 : 0;
}

int CComboBoxList::OnControlLButtonUp(UINT, CPoint pt) {
  const int pressed = m_pressed;
  m_pressed = -1;
  if (pressed < 0 || RowAt(pt) != pressed) return 0;
  m_selected = pressed;
  UpdateControl(1, 0);
  // The parent may close the drop-down (and so delete this list) while handling the choice.
  SendMessageW(NotifyClick, static_cast<UINT>(pressed), kChoiceMark);
  return 1;
}

int CComboBoxList::OnControlScroll(int, UINT down, CPoint pt) {
  if (!m_enabled || MaxTop() == 0) return 0;
  const int top = std::clamp(m_top + (down ? 1 : -1), 0, MaxTop());
  if (top != m_top) {
    m_top = top;
    m_hover = RowAt(pt);
    UpdateControl(1, 0);
  }
  return 1;
}

void CComboBoxList::DrawControl(Canvas& canvas, CRect clip) {
  const CRect part = CRect::Intersect(m_rect, clip);
  if (part.IsRectEmpty()) return;
  canvas.Save();
  canvas.ClipRect(part);
  const bool overflow = MaxTop() > 0;
  const int barWidth = overflow ? 4 : 0;
  const Font font = GetFont();
  for (int row = m_top; row < GetItemCount(); ++row) {
    const int top = m_rect.top + (row - m_top) * kRowHeight;
    if (top >= m_rect.bottom) break;
    const CRect rowRect(m_rect.left, top, m_rect.right - barWidth, top + kRowHeight);
    const ComboItem& item = m_items[static_cast<size_t>(row)];
    if (row == m_hover) canvas.FillRect(CRect(rowRect.left + 2, top, rowRect.right - 4, top + kRowHeight), Manager::GetSelectColor());
    else if (row == m_selected) canvas.FillRect(CRect(rowRect.left + 2, top, rowRect.right - 4, top + kRowHeight), 0x6010A8FD);
    CRect text(rowRect.left + 10, top, rowRect.right - 10, top + kRowHeight);
    if (!item.text2.empty()) {
      canvas.DrawText(item.text2, text, font, row == m_hover ? 0xFFFFFFFF : 0xFF9AA3AE, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
      text.right -= Canvas::MeasureText(item.text2, font).cx + 8;
    }
    canvas.DrawText(item.text, text, font, m_enabled ? m_textColor : 0xFF808080, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  }
  if (overflow) {
    // Where the view is among all rows.
    const int track = m_rect.Height();
    const int thumb = std::max(track * VisibleRows() / GetItemCount(), 10);
    const int y = m_rect.top + (track - thumb) * m_top / MaxTop();
    canvas.FillRect(CRect(m_rect.right - 3, y, m_rect.right - 1, y + thumb), 0xFF5A6270);
  }
  canvas.Restore();
}

}  // namespace kl::vela
