// CPhotoFrame: a picture that can be pressed (it sends NotifyPress) and shows the strip frame
// of its state: 0 normal, 1 hover, 2 pressed, 3 disabled (as far as the strip has frames).
#pragma once

#include "velaui/core/MPicture.h"

namespace kl::vela {

class CPhotoFrame : public MPicture {
 public:
  CPhotoFrame(MObject* parent, UINT id, CRect rect, int visible, int enabled);

  void DrawControl(Canvas& canvas, CRect clip) override;
  int OnControlMouseMove(UINT flags, CPoint pt) override;
  int OnControlLButtonDown(UINT flags, CPoint pt) override;
  int OnControlLButtonUp(UINT flags, CPoint pt) override;
  int GetState() const { return m_state; }

 private:
  void SetState(int state);
  int m_state = 0;
};

}  // namespace kl::vela
