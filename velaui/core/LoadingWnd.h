// LoadingWnd: a small busy indicator window running the skin's loading animation (the GIF, or
// the frame strip "logo\logo_loading.png" of square frames when the GIF is missing).
#pragma once

#include "velaui/core/MPaintedWnd.h"

namespace kl::vela {

class PaintManager;
struct ImgResInfo;

class LoadingWnd : public MPaintedWnd {
 public:
  static constexpr UINT kFrameTimer = 1;

  // Creates and shows the window over `rect` (screen); false without an animation or a window.
  bool Create(platform::WindowId owner, PaintManager* images, const CRect& rect);
  int GetFrame() const { return m_frame; }
  int GetFrameTotal() const;

 protected:
  void Paint(Canvas& canvas) override;
  LRESULT OnOtherMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  const ImgResInfo* m_animation = nullptr;
  bool m_strip = false;
  int m_frame = 0;
};

}  // namespace kl::vela
