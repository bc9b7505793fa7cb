#include "velaui/core/CArea.h"

#include "velaui/core/MRender.h"

namespace kl::vela {

CArea::CArea(MObject* parent, UINT id, CRect rect, int visible, int enabled) : MControl(parent, id, rect, visible, enabled, 1) {}

void CArea::SetTransparent(int startPercent, int endPercent, COLORREF fill) {
  m_startPercent = startPercent;
  m_endPercent = endPercent;
  m_fill = fill;
  if (m_visible) UpdateControl(1, 0);
}

void CArea::SetFrame(int frame, ARGB color, int) {
  m_frame = frame;
  m_frameColor = color;
  if (m_visible) UpdateControl(1, 0);
}

void CArea::DrawControl(Canvas& canvas, CRect clip) {
  const int w = m_rect.Width();
  const int h = m_rect.Height();
  if (w <= 0 || h <= 0) return;
  if (!GetUpdate() || !GetMemDC()) {
    Canvas& cache = UpdateMemDC(w, h);
    const CRect local(0, 0, w, h);
    // What lies beneath the area (the window background and lower areas) is the base of the blend.
    cache.BitBlt(local, canvas, m_rect.TopLeft());
    if (m_startPercent || m_endPercent) {
      Canvas fill(w, h);
      fill.FillSolidRect(local, m_fill);
      if (m_vertical) MRender::DrawVerticalTransition(cache, fill, local, local, m_startPercent, m_endPercent);
      else MRender::DrawHorizontalTransition(cache, fill, local, local, m_startPercent, m_endPercent);
    } else if (m_frame) {
      cache.FillRect(local, m_frameColor | 0xFF000000);
      CRect inner = local;
      inner.DeflateRect(1, 1);
      cache.FillSolidRect(inner, m_fill);
    } else {
      cache.FillSolidRect(local, m_fill);
    }
  }
  const CRect part = CRect::Intersect(m_rect, clip);
  canvas.BitBlt(part, *GetMemDC(), CPoint{part.left - m_rect.left, part.top - m_rect.top});
}

}  // namespace kl::vela
