// MBalloon: a balloon tip next to a point, drawn from the skin's tip images, that hides itself
// after five seconds (unless its type is 4, the persistent kind).
//
// Placement by mode (pt = anchor, W/H = box size, lh = line height, n = lines):
//   1  right of pt, vertically centred on it           W = text + 40, H = n*lh + 20
//   2  left of pt, its bottom 27 px above pt           W = text + 40, H = n*lh + 20
//   3  below-right: x from pt.x-25, y from pt.y         W = text + 40, H = n*lh + 30
//   4  centred above pt, bottom at pt                   W = text + 30, H = n*lh + 20
//   5  like 1 but starting 10 px above pt               H = (n-2)*lh + 20 (at least 20)
#pragma once

#include <string>

#include "velaui/core/MPaintedWnd.h"

namespace kl::vela {

class PaintManager;
struct ImgResInfo;

class MBalloon : public MPaintedWnd {
 public:
  static constexpr UINT kHideTimer = 10;
  static constexpr UINT kHideMs = 5000;

  // Creates the hidden window owned by `owner`; images come from `images` (may lack them).
  bool Create(platform::WindowId owner, PaintManager* images);
  // 1 when nothing changed or the balloon was placed and repainted; 0 without a window.
  int SetBalloonMsg(const std::wstring& text, CPoint pt, int type, int mode);
  const std::wstring& GetText() const { return m_text; }
  int GetMode() const { return m_mode; }

 protected:
  void Paint(Canvas& canvas) override;
  LRESULT OnOtherMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  const ImgResInfo* m_back = nullptr;
  const ImgResInfo* m_arrowLeft = nullptr;
  const ImgResInfo* m_arrowRight = nullptr;
  const ImgResInfo* m_arrowTop = nullptr;
  std::wstring m_text;
  CPoint m_point;
  int m_type = -1;
  int m_mode = -1;
};

}  // namespace kl::vela
