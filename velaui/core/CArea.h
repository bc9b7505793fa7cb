// CArea: a filled rectangle used as a background panel, optionally translucent with an alpha
// fade from one edge to the other, optionally with a one-pixel frame.
#pragma once

#include "velaui/core/MControl.h"

namespace kl::vela {

class CArea : public MControl {
 public:
  CArea(MObject* parent, UINT id, CRect rect, int visible, int enabled);

  // Transparency in percent at the start and the end of the fade (0 = opaque).
  void SetTransparent(int startPercent, int endPercent, COLORREF fill);
  void SetFrame(int frame, ARGB color, int unused = 0);
  // 1 fades top to bottom, 0 left to right.
  void SetDirection(int vertical) { m_vertical = vertical; }

  void DrawControl(Canvas& canvas, CRect clip) override;

 private:
  int m_vertical = 1;
  int m_startPercent = 80;
  int m_endPercent = 80;
  COLORREF m_fill = 0xFFFFFF;
  int m_frame = 0;
  ARGB m_frameColor = 0xFF050505;
};

}  // namespace kl::vela
