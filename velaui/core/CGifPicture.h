// CGifPicture: an animated picture (a GIF's frames, or a strip of equal frames). It advances one
// frame every fifth tick of the window's shared tick while running, and can be set to run only
// while the pointer is over it (restarting at frame 0 on each entry, stopping at frame 0 on leave).
#pragma once

#include "velaui/core/MPicture.h"

namespace kl::vela {

class CGifPicture : public MPicture {
 public:
  CGifPicture(MObject* parent, UINT id, CRect rect, int visible, int enabled);

  using MControlFont::SetImage;
  // A GIF animates through its own frames; a still image through `count` strip frames.
  int SetImage(const wchar_t* file, int count) override;
  // Only for images with at least two frames.
  void SetRunState(int run, int frame);
  void SetRunOnHover(int onHover) { m_runOnHover = onHover; }
  int IsRunning() const { return m_running; }
  int GetFrame() const { return m_frame; }
  int GetFrameTotal() const;

  void DrawControl(Canvas& canvas, CRect clip) override;
  int OnControlTimer() override;
  int OnControlMouseMove(UINT flags, CPoint pt) override;

 private:
  int m_running = 0;
  int m_frame = 0;
  int m_ticks = 0;
  int m_runOnHover = 0;
  bool m_inside = false;
};

}  // namespace kl::vela
