#include "velaui/core/CGifPicture.h"

#include <algorithm>

#include "velaui/core/Image.h"

namespace kl::vela {

CGifPicture::CGifPicture(MObject* parent, UINT id, CRect rect, int visible, int enabled) : MPicture(parent, id, rect, visible, enabled) {
  m_runTimer = 1;
}

int CGifPicture::SetImage(const wchar_t* file, int count) {
  m_frame = 0;
  m_ticks = 0;
  return MControlFont::SetImage(file, count);
}

int CGifPicture::GetFrameTotal() const {
  if (!m_image) return 0;
  return m_image->FrameCount() > 1 ? m_image->FrameCount() : std::max(m_frameCount, 1);
}

void CGifPicture::SetRunState(int run, int frame) {
  if (GetFrameTotal() < 2) return;
  m_running = run;
  m_frame = frame >= 0 && frame < GetFrameTotal() ? frame : 0;
  m_ticks = 0;
  UpdateControl(1, 0);
}

int CGifPicture::OnControlTimer() {
  if (!m_running || GetFrameTotal() < 2) return 0;
  if (++m_ticks <= 4) return 0;
  m_ticks = 0;
  m_frame = (m_frame + 1) % GetFrameTotal();
  UpdateControl(1, 0);
  return 1;
}

int CGifPicture::OnControlMouseMove(UINT flags, CPoint pt) {
  if (!m_runOnHover) return 0;
  const bool inside = m_rect.PtInRect(pt);
  if (inside && !(flags & (MK_LBUTTON | MK_RBUTTON))) {
    if (!m_inside) SetRunState(1, 0);
  } else if (!inside && m_inside) {
    SetRunState(0, 0);
  }
  m_inside = inside;
  return inside ? 1 : 0;
}

void CGifPicture::DrawControl(Canvas& canvas, CRect clip) {
  const CRect part = CRect::Intersect(m_rect, clip);
  if (part.IsRectEmpty() || !m_image) return;
  canvas.Save();
  canvas.ClipRect(part);
  if (m_image->FrameCount() > 1) {
    // A GIF: every frame is a whole picture of the image size.
    canvas.DrawImage(*m_image, m_rect, CRect(0, 0, m_image->Width(), m_image->Height()), 255, m_frame);
  } else {
    DrawPicture(canvas, m_rect, m_frame);
  }
  canvas.Restore();
}

}  // namespace kl::vela
