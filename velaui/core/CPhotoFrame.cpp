#include "velaui/core/CPhotoFrame.h"

#include "velaui/core/Notify.h"

namespace kl::vela {

CPhotoFrame::CPhotoFrame(MObject* parent, UINT id, CRect rect, int visible, int enabled) : MPicture(parent, id, rect, visible, enabled) {}

void CPhotoFrame::SetState(int state) {
  if (state == m_state) return;
  m_state = state;
  UpdateControl(1, 0);
}

int CPhotoFrame::OnControlMouseMove(UINT flags, CPoint pt) {
  if (!m_enabled) return 0;
  const bool inside = m_rect.PtInRect(pt);
  SetState(inside ? ((flags & MK_LBUTTON) && m_pressedInside ? 2 : 1) : 0);
  return inside ? 1 : 0;
}

int CPhotoFrame::OnControlLButtonDown(UINT, CPoint pt) {
  if (!m_enabled || !m_rect.PtInRect(pt)) return 0;
  SetState(2);
  SendMessageW(NotifyPress, 0, 0);
  return 1;
}

int CPhotoFrame::OnControlLButtonUp(UINT, CPoint pt) {
  if (!m_enabled) return 0;
  SetState(m_rect.PtInRect(pt) ? 1 : 0);
  return 1;
}

void CPhotoFrame::DrawControl(Canvas& canvas, CRect clip) {
  const CRect part = CRect::Intersect(m_rect, clip);
  if (part.IsRectEmpty()) return;
  canvas.Save();
  canvas.ClipRect(part);
  DrawPicture(canvas, m_rect, m_enabled ? m_state : 3);
  canvas.Restore();
}

}  // namespace kl::vela
