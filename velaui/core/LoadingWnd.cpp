#include "velaui/core/LoadingWnd.h"

#include <algorithm>

#include "velaui/core/PaintManager.h"

namespace kl::vela {

bool LoadingWnd::Create(platform::WindowId owner, PaintManager* images, const CRect& rect) {
  if (!images) return false;
  m_animation = images->AddImgResInfo(L"loading\\loading.gif", 1);
  m_strip = false;
  if (!m_animation || m_animation->image->FrameCount() < 2) {
    // A strip of square frames side by side.
    const ImgResInfo* probe = images->AddImgResInfo(L"logo\\logo_loading.png", 1);
    if (!probe || probe->height <= 0) return false;
    m_animation = images->AddImgResInfo(L"logo\\logo_loading.png", std::max(probe->frameWidth / probe->height, 1));
    m_strip = true;
  }
  if (!MWindow::Create(owner, L"Loading", WS_VISIBLE, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, rect)) return false;
  const int delay = m_strip ? 80 : m_animation->image->FrameDelayMs(0);
  SetTimer(kFrameTimer, static_cast<UINT>(std::max(delay, 20)));
  return true;
}

int LoadingWnd::GetFrameTotal() const {
  if (!m_animation) return 0;
  return m_strip ? m_animation->frames : m_animation->image->FrameCount();
}

LRESULT LoadingWnd::OnOtherMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER && wParam == kFrameTimer && GetFrameTotal() > 0) {
    m_frame = (m_frame + 1) % GetFrameTotal();
    InvalidateRect(nullptr);
    return 0;
  }
  return DefaultProc(msg, wParam, lParam);
}

void LoadingWnd::Paint(Canvas& canvas) {
  const CRect r = canvas.Bounds();
  canvas.FillSolidRect(r, MakeColorRef(0x1C, 0x20, 0x27));
  if (!m_animation) return;
  const Image& image = *m_animation->image;
  if (m_strip) {
    const int fw = m_animation->frameWidth;
    canvas.DrawImage(image, r, CRect(m_frame * fw, 0, (m_frame + 1) * fw, m_animation->height));
  } else {
    canvas.DrawImage(image, r, CRect(0, 0, image.Width(), image.Height()), 255, m_frame);
  }
}

}  // namespace kl::vela
