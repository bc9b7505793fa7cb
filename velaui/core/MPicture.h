// MPicture: shows frame 0 of its image in one of the show modes.
//
// | mode | drawing                                                          |
// |------|------------------------------------------------------------------|
// | 0    | own size, placed by the alignment (h 0/1/2, v 0/4/8)             |
// | 1    | tiled from the top-left corner, last row and column cut          |
// | 2    | stretched to the control                                         |
// | 3    | frame picture with one border width                              |
// | 4    | frame picture with left/top/right/bottom border widths           |
// | 5    | the source rectangle (SetSourceRect) stretched to the control    |
#pragma once

#include "velaui/core/MControlFont.h"

namespace kl::vela {

enum enumShowMode { SHOW_MODE_NORMAL = 0, SHOW_MODE_TILE = 1, SHOW_MODE_STRETCH = 2, SHOW_MODE_FRAME = 3, SHOW_MODE_FRAME_MID = 4,
                    SHOW_MODE_SOURCE = 5 };

class MPicture : public MControlFont {
 public:
  MPicture(MObject* parent, UINT id, CRect rect, int visible, int enabled);

  // 0 when nothing changed (for mode 3: mode and border); else stores, repaints and returns 1.
  int SetShowMode(int mode, int border = 0);
  void SetShowModeMID(int left, int top, int right, int bottom);
  void SetSourceRect(const CRect& source);
  int GetShowMode() const { return m_mode; }
  void DrawControl(Canvas& canvas, CRect clip) override;

 protected:
  // Draws strip frame `frame` of animation frame `imageFrame` into `dest` by the show mode.
  void DrawPicture(Canvas& canvas, const CRect& dest, int frame, int imageFrame = 0);

  int m_mode = SHOW_MODE_STRETCH;
  int m_border = 0;
  CRect m_mid;  // left, top, right, bottom border widths of mode 4
  CRect m_source;
};

}  // namespace kl::vela
