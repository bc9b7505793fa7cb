#include "velaui/core/MPaintedWnd.h"

namespace kl::vela {

std::unique_ptr<Canvas> MPaintedWnd::Render() {
  const CRect client = GetClientRect();
  if (client.IsRectEmpty()) return nullptr;
  auto canvas = std::make_unique<Canvas>(client.Width(), client.Height());
  Paint(*canvas);
  return canvas;
}

LRESULT MPaintedWnd::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_PAINT) return OnOtherMessage(msg, wParam, lParam);
  platform::WindowSystem* ws = platform::GetWindowSystem();
  if (!ws || ws->BeginPaint(GetSafeHwnd()).IsRectEmpty()) return 0;
  std::unique_ptr<Canvas> canvas = Render();
  if (canvas) ws->Present(GetSafeHwnd(), canvas->View(), canvas->Bounds());
  return 0;
}

}  // namespace kl::vela
