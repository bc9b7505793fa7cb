// TooltipWnd: the small text tip shown below-right of the pointer while it rests on a control
// with a tooltip. It never takes the focus, so showing it does not close menus.
#pragma once

#include <string>

#include "velaui/core/MPaintedWnd.h"

namespace kl::vela {

class TooltipWnd : public MPaintedWnd {
 public:
  static constexpr int kMaxWidth = 256;

  const wchar_t* GetWindowClassName() const override { return L"VelaTooltip"; }
  // Shows `text` near `cursor` (screen), kept inside the work area; creates the window once.
  bool ShowTip(platform::WindowId owner, const std::wstring& text, CPoint cursor);
  void Hide();
  const std::wstring& GetText() const { return m_text; }

 protected:
  void Paint(Canvas& canvas) override;

 private:
  std::wstring m_text;
};

}  // namespace kl::vela
