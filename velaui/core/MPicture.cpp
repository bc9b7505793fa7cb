#include "velaui/core/MPicture.h"

#include <algorithm>

#include "velaui/core/Image.h"
#include "velaui/core/MRender.h"

namespace kl::vela {

MPicture::MPicture(MObject* parent, UINT id, CRect rect, int visible, int enabled)
    : MControlFont(parent, id, rect, L"", visible, enabled, 1) {
  m_frameCount = 1;
}

int MPicture::SetShowMode(int mode, int border) {
  if (mode == m_mode && (mode != SHOW_MODE_FRAME || border == m_border)) return 0;
  m_mode = mode;
  m_border = border;
  UpdateControl(1, 0);
  return 1;
}

void MPicture::SetShowModeMID(int left, int top, int right, int bottom) {
  m_mid = CRect(left, top, right, bottom);
  UpdateControl(1, 0);
}

void MPicture::SetSourceRect(const CRect& source) {
  m_source = source;
  UpdateControl(1, 0);
}

void MPicture::DrawPicture(Canvas& canvas, const CRect& dest, int frame, int imageFrame) {
  if (!m_image || m_frameWidth <= 0 || m_imageHeight <= 0) return;
  const int f = std::clamp(frame, 0, std::max(m_frameCount, 1) - 1);
  const Image& image = *m_image;
  const int sx = f * m_frameWidth;
  const CRect src(sx, 0, sx + m_frameWidth, m_imageHeight);
  switch (m_mode) {
    case SHOW_MODE_NORMAL: {
      const CPoint o = MRender::GetOriginPoint(dest.Width(), dest.Height(), m_frameWidth, m_imageHeight, m_hAlign, m_vAlign);
      canvas.DrawImage(image, CRect(dest.left + o.x, dest.top + o.y, dest.left + o.x + m_frameWidth, dest.top + o.y + m_imageHeight), src, 255, imageFrame);
      break;
    }
    case SHOW_MODE_TILE:
      for (int y = dest.top; y < dest.bottom; y += m_imageHeight)
        for (int x = dest.left; x < dest.right; x += m_frameWidth) {
          const int w = std::min(m_frameWidth, dest.right - x);
          const int h = std::min(m_imageHeight, dest.bottom - y);
          canvas.DrawImage(image, CRect(x, y, x + w, y + h), CRect(sx, 0, sx + w, h), 255, imageFrame);
        }
      break;
    case SHOW_MODE_FRAME:
      MRender::DrawImageFrame(canvas, image, dest, sx, 0, m_frameWidth, m_imageHeight, m_border, 255, imageFrame);
      break;
    case SHOW_MODE_FRAME_MID:
      MRender::DrawImageFrameMID(canvas, image, dest, sx, 0, m_frameWidth, m_imageHeight, m_mid.left, m_mid.top, m_mid.right, m_mid.bottom, 255,
                                  imageFrame);
      break;
    case SHOW_MODE_SOURCE:
      if (!m_source.IsRectEmpty()) canvas.DrawImage(image, dest, m_source, 255, imageFrame);
      break;
    default:
      canvas.DrawImage(image, dest, src, 255, imageFrame);
      break;
  }
}

void MPicture::DrawControl(Canvas& canvas, CRect clip) {
  const CRect part = CRect::Intersect(m_rect, clip);
  if (part.IsRectEmpty()) return;
  canvas.Save();
  canvas.ClipRect(part);
  DrawPicture(canvas, m_rect, 0);
  canvas.Restore();
}

}  // namespace kl::vela
