#include "velaui/core/MenuItem.h"

#include "velaui/core/Notify.h"

namespace kl::vela {

MenuItem::MenuItem(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled)
    : MControlFont(parent, id, rect, title, visible, enabled, 1) {
  m_frameCount = 3;
}

void MenuItem::SetHoverImage(const Image* image, int frameWidth, int height) {
  m_hoverImage = image;
  m_hoverFrameWidth = frameWidth;
  m_hoverHeight = height;
}

void MenuItem::SetState(int state) {
  if (state == m_state) return;
  m_state = state;
  UpdateControl(1, 0);
}

void MenuItem::SetCheck(int check) {
  if ((check != 0) == (m_check != 0)) return;
  m_check = check != 0;
  UpdateControl(1, 0);
}

int MenuItem::OnControlMouseMove(UINT flags, CPoint pt) {
  if (m_separator || !m_enabled) return 0;
  const bool inside = m_rect.PtInRect(pt);
  SetState(inside ? (m_pressed ? 2 : (m_check ? 6 : 1)) : 0);
  return inside ? 1 : 0;
}

int MenuItem::OnControlLButtonDown(UINT, CPoint pt) {
  if (m_separator || !m_enabled || !m_rect.PtInRect(pt)) return 0;
  m_pressed = 1;
  SetState(2);
  if (m_checkable) SendMessageW(NotifyCheck, static_cast<UINT>(m_check), 1);
  return 1;
}

int MenuItem::OnControlLButtonUp(UINT, CPoint pt) {
  if (!m_pressed) return 0;
  m_pressed = 0;
  const bool inside = m_rect.PtInRect(pt);
  SetState(inside ? 1 : 0);
  if (!inside) return 1;
  if (m_checkable) {
    // A grouped item is a radio choice: it becomes checked rather than toggling.
    SetCheck(m_group.empty() ? !m_check : 1);
    return 1;
  }
  SendMessageW(NotifyClick, 0, 0);
  return 1;
}

void MenuItem::DrawControl(Canvas& canvas, CRect clip) {
  const CRect part = CRect::Intersect(m_rect, clip);
  if (part.IsRectEmpty()) return;
  canvas.Save();
  canvas.ClipRect(part);
  if (m_separator) {
    const int y = (m_rect.top + m_rect.bottom) / 2;
    canvas.DrawLine(m_rect.left, y, m_rect.right, y, 0xFF2E343E);
    canvas.Restore();
    return;
  }
  if (m_state != 0 && m_enabled) {
    if (m_hoverImage && m_hoverFrameWidth > 0) {
      const int frame = m_state == 2 ? 2 : 1;
      canvas.DrawImage(*m_hoverImage, m_rect, CRect(frame * m_hoverFrameWidth, 0, (frame + 1) * m_hoverFrameWidth, m_hoverHeight));
    } else {
      canvas.FillRect(m_rect, (m_hoverColor & 0x00FFFFFF) | (m_state == 2 ? 0xFF000000 : 0xCC000000));
    }
  }
  const int iconSize = m_rect.Height() - 16;
  if (m_image && iconSize > 0) {
    const CRect icon(m_rect.left + 8, m_rect.top + 8, m_rect.left + 8 + iconSize, m_rect.top + 8 + iconSize);
    DrawStateFrame(canvas, icon, m_enabled ? 0 : m_frameCount - 1);
  }
  if (m_checkable && m_check) {
    // A check mark drawn as two strokes at the right end.
    cairo_t* cr = canvas.Cr();
    const double cx = m_rect.right - 22;
    const double cy = (m_rect.top + m_rect.bottom) / 2.0;
    SetSourceArgb(cr, m_state ? 0xFFFFFFFF : 0xFF10A8FD);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, cx - 6, cy);
    cairo_line_to(cr, cx - 2, cy + 4);
    cairo_line_to(cr, cx + 6, cy - 5);
    cairo_stroke(cr);
  }
  CRect text = m_rect;
  text.left += m_indent;
  text.right -= 30;
  const ARGB color = !m_enabled ? 0xFF6A717C : m_state ? 0xFFFFFFFF : m_textColor;
  canvas.DrawText(m_title, text, GetFont(), color, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  canvas.Restore();
}

}  // namespace kl::vela
