#include "velaui/core/MShadow.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "velaui/core/Image.h"
#include "velaui/core/MRender.h"
#include "velaui/core/Manager.h"

namespace kl::vela {

namespace {

platform::WindowSystem* WS() { return platform::GetWindowSystem(); }

// How much of the shadow is left `d` pixels outside the core, for a band `band` pixels wide:
// 1 inside, falling along a smoothstep to 0 at the band's outer edge. Pixel centres sit at d + 0.5.
double Ramp(int d, int band) {
  if (d < 0) return 1.0;
  if (d >= band) return 0.0;
  const double t = (d + 0.5) / band;
  return 1.0 - t * t * (3.0 - 2.0 * t);
}

}  // namespace

MShadow::MShadow() = default;

MShadow::~MShadow() { DestroyWindow(); }

CRect MShadow::ShadowRect(const CRect& dialog) const {
  CRect r = dialog;
  if (m_image) {
    r = CRect(r.left - m_imageBorders.left, r.top - m_imageBorders.top, r.right + m_imageBorders.right, r.bottom + m_imageBorders.bottom);
  } else {
    const int grow = m_size + m_sharpness;
    r = CRect(r.left - grow, r.top - grow, r.right + grow, r.bottom + grow);
  }
  r.OffsetRect(m_offset.x, m_offset.y);
  return r;
}

bool MShadow::Create(platform::WindowId dialog) {
  platform::WindowSystem* ws = WS();
  if (!ws || !ws->IsWindow(dialog)) return false;
  if (IsWindow()) return m_dialog == dialog;
  m_dialog = dialog;
  CRect rect = ShadowRect(ws->GetWindowBounds(dialog));
  if (rect.IsRectEmpty()) rect = CRect(rect.left, rect.top, rect.left + 1, rect.top + 1);
  // Layered for its alpha, click-through so that it never catches the pointer, and never active.
  if (!MWindow::Create(0, L"", 0, WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, rect)) {
    m_dialog = 0;
    return false;
  }
  Update();
  return true;
}

void MShadow::Update() {
  platform::WindowSystem* ws = WS();
  if (!ws || !IsWindow()) return;
  if (!ws->IsWindow(m_dialog)) {
    ShowWindow(SW_HIDE);
    return;
  }
  m_dialogRect = ws->GetWindowBounds(m_dialog);
  const CRect rect = ShadowRect(m_dialogRect);
  const bool wanted = m_show && ws->HasCompositor() && ws->IsWindowVisible(m_dialog) && !ws->IsMinimized(m_dialog) &&
                      !rect.IsRectEmpty();
  if (!wanted) {
    if (IsWindowVisible()) ShowWindow(SW_HIDE);
    return;
  }
  // A new size repaints the whole window by itself; a pure move keeps the picture.
  MoveWindow(rect);
  if (!IsWindowVisible()) ShowWindow(SW_SHOWNOACTIVATE);
  // A topmost dialog's shadow is topmost too: no ordinary window may come between the two.
  if (ws->IsTopmost(m_dialog) != ws->IsTopmost(GetSafeHwnd())) ws->SetTopmost(GetSafeHwnd(), ws->IsTopmost(m_dialog));
  ws->PlaceBehind(GetSafeHwnd(), m_dialog);
}

void MShadow::Changed() {
  InvalidateRect(nullptr);
  Update();
}

void MShadow::SetShow(bool show) {
  m_show = show;
  Update();
}

void MShadow::SetDarkness(int darkness) {
  m_darkness = std::clamp(darkness, 0, 255);
  Changed();
}

void MShadow::SetSharpness(int sharpness) {
  m_sharpness = std::clamp(sharpness, 0, 35);
  Changed();
}

void MShadow::SetSize(int size) {
  m_size = std::clamp(size, -35, 35);
  Changed();
}

void MShadow::SetPosition(int x, int y) {
  m_offset = {std::clamp(x, -35, 35), std::clamp(y, -35, 35)};
  Changed();
}

void MShadow::SetColor(COLORREF color) {
  m_color = color;
  Changed();
}

bool MShadow::SetImage(const std::wstring& file, const CRect& borders) {
  if (borders.left < 0 || borders.top < 0 || borders.right < 0 || borders.bottom < 0) return false;
  std::unique_ptr<Image> image = MRender::LoadImageFromFile(Manager::SkinPath(file));
  if (!image) return false;
  m_image = std::move(image);
  m_imageBorders = borders;
  Changed();
  return true;
}

void MShadow::Paint(Canvas& canvas) {
  const CRect window = GetWindowRect();
  CRect dialog = m_dialogRect;
  dialog.OffsetRect(-window.left, -window.top);
  canvas.ClearRect(canvas.Bounds());
  if (m_image) {
    MRender::DrawImageFrameMID(canvas, *m_image, canvas.Bounds(), 0, 0, m_image->Width(), m_image->Height(), m_imageBorders.left,
                               m_imageBorders.top, m_imageBorders.right, m_imageBorders.bottom);
    canvas.ClearRect(CRect::Intersect(dialog, canvas.Bounds()));
    return;
  }
  PaintSoftShadow(canvas, dialog, m_darkness, m_sharpness, m_color);
}

void MShadow::PaintSoftShadow(Canvas& canvas, const CRect& dialog, int darkness, int sharpness, COLORREF color) {
  const int width = canvas.Width();
  const int height = canvas.Height();
  const int band = std::clamp(sharpness, 0, 35);
  darkness = std::clamp(darkness, 0, 255);
  const CRect core(band, band, width - band, height - band);
  // The ramp is separable: one factor per column and one per row.
  auto factors = [band](int count, int lo, int hi) {
    std::vector<double> f(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) f[static_cast<size_t>(i)] = Ramp(i < lo ? lo - 1 - i : i >= hi ? i - hi : -1, band);
    return f;
  };
  const std::vector<double> fx = factors(width, core.left, core.right);
  const std::vector<double> fy = factors(height, core.top, core.bottom);
  canvas.Flush();
  uint32_t* pixels = canvas.Pixels();
  const int stride = canvas.StridePixels();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t& p = pixels[static_cast<size_t>(y) * stride + x];
      if (dialog.PtInRect({x, y})) {
        p = 0;
        continue;
      }
      const auto a = static_cast<uint32_t>(std::lround(darkness * fx[static_cast<size_t>(x)] * fy[static_cast<size_t>(y)]));
      // Premultiplied: every channel scaled by the alpha.
      const auto pre = [a](uint8_t c) { return (c * a + 127) / 255; };
      p = (a << 24) | (pre(GetRValue(color)) << 16) | (pre(GetGValue(color)) << 8) | pre(GetBValue(color));
    }
  canvas.MarkDirty();
}

}  // namespace kl::vela
