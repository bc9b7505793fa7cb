// MPaintedWnd: a window without controls that paints itself whole (tooltips, balloons, key tips,
// the loading window). Derived classes draw in Paint; the window is always presented whole.
#pragma once

#include <memory>

#include "velaui/core/Canvas.h"
#include "velaui/core/MWindow.h"

namespace kl::vela {

class MPaintedWnd : public MWindow {
 public:
  LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Renders what the window shows now (also used by tests and screenshots).
  std::unique_ptr<Canvas> Render();

 protected:
  virtual void Paint(Canvas& canvas) = 0;
  virtual LRESULT OnOtherMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return DefaultProc(msg, wParam, lParam); }
};

}  // namespace kl::vela
