#include "velaui/core/MRender.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <fstream>

#include "base/Path.h"

namespace kl::vela {

CPoint MRender::GetOriginPoint(int w, int h, int cw, int ch, int hAlign, int vAlign) {
  const int x = hAlign == 1 ? (w - cw) / 2 : hAlign == 2 ? w - cw : 0;
  const int y = vAlign == 4 ? (h - ch) / 2 : vAlign == 8 ? h - ch : 0;
  return {x, y};
}

CPoint MRender::GetOriginPoint(const CRect& rect, int cw, int ch, int hAlign, int vAlign) {
  const CPoint p = GetOriginPoint(rect.Width(), rect.Height(), cw, ch, hAlign, vAlign);
  return {rect.left + p.x, rect.top + p.y + 2};
}

void MRender::CheckAlphaColor(ARGB& color) {
  if ((color & 0x00FFFFFF) == 0) ++color;
}

void MRender::DrawGradient(Canvas& canvas, const CRect& rect, ARGB from, ARGB to, bool vertical) {
  const int alpha = (ArgbAlpha(from) + ArgbAlpha(to)) / 2;
  if (alpha == 0 || rect.IsRectEmpty()) return;
  cairo_t* cr = canvas.Cr();
  cairo_save(cr);
  cairo_pattern_t* p = vertical ? cairo_pattern_create_linear(0, rect.top, 0, rect.bottom)
                                : cairo_pattern_create_linear(rect.left, 0, rect.right, 0);
  cairo_pattern_add_color_stop_rgb(p, 0, ArgbRed(from) / 255.0, ArgbGreen(from) / 255.0, ArgbBlue(from) / 255.0);
  cairo_pattern_add_color_stop_rgb(p, 1, ArgbRed(to) / 255.0, ArgbGreen(to) / 255.0, ArgbBlue(to) / 255.0);
  cairo_set_source(cr, p);
  cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
  cairo_clip(cr);
  if (alpha >= 255) cairo_paint(cr);
  else cairo_paint_with_alpha(cr, alpha / 255.0);
  cairo_pattern_destroy(p);
  cairo_restore(cr);
}

namespace {

int TransitionAlpha(int a, int b, int index, int count) {
  const int first = 255 * (100 - std::clamp(a, 0, 100)) / 100;
  const int last = 255 * (100 - std::clamp(b, 0, 100)) / 100;
  if (count <= 1) return first;
  return first + (last - first) * index / (count - 1);
}

}  // namespace

void MRender::DrawVerticalTransition(Canvas& dst, const Canvas& src, const CRect& dstRect, const CRect& srcRect, int a, int b) {
  const int rows = dstRect.Height();
  for (int i = 0; i < rows; ++i) {
    const int srcRow = srcRect.top + (srcRect.Height() * i) / std::max(rows, 1);
    dst.AlphaBlend(CRect(dstRect.left, dstRect.top + i, dstRect.right, dstRect.top + i + 1), src,
                   CRect(srcRect.left, srcRow, srcRect.right, srcRow + 1), static_cast<uint8_t>(TransitionAlpha(a, b, i, rows)));
  }
}

void MRender::DrawHorizontalTransition(Canvas& dst, const Canvas& src, const CRect& dstRect, const CRect& srcRect, int a, int b) {
  const int cols = dstRect.Width();
  for (int i = 0; i < cols; ++i) {
    const int srcCol = srcRect.left + (srcRect.Width() * i) / std::max(cols, 1);
    dst.AlphaBlend(CRect(dstRect.left + i, dstRect.top, dstRect.left + i + 1, dstRect.bottom), src,
                   CRect(srcCol, srcRect.top, srcCol + 1, srcRect.bottom), static_cast<uint8_t>(TransitionAlpha(a, b, i, cols)));
  }
}

void MRender::DrawRightBottomTransition(Canvas& dst, const Canvas& src, const CRect& rect, int n) {
  if (n <= 0) return;
  const int left = rect.right - n;
  const int top = rect.bottom - n;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const double d = std::min(std::sqrt(static_cast<double>(i * i + j * j)), static_cast<double>(n));
      const int alpha = 255 - static_cast<int>(255 * d / n);
      dst.AlphaBlend(CRect(left + i, top + j, left + i + 1, top + j + 1), src, CRect(left + i, top + j, left + i + 1, top + j + 1),
                     static_cast<uint8_t>(std::clamp(alpha, 0, 255)));
    }
}

void MRender::DrawImageFrame(Canvas& canvas, const Image& image, const CRect& dest, int srcX, int srcY, int srcW, int srcH,
                             int e, uint8_t alpha, int imageFrame) {
  DrawImageFrameMID(canvas, image, dest, srcX, srcY, srcW, srcH, e, e, e, e, alpha, imageFrame);
}

void MRender::DrawImageFrameMID(Canvas& canvas, const Image& image, const CRect& dest, int srcX, int srcY, int srcW,
                                int srcH, int l, int t, int r, int b, uint8_t alpha, int imageFrame) {
  if (dest.IsRectEmpty() || srcW <= 0 || srcH <= 0) return;
  l = std::max(l, 0);
  t = std::max(t, 0);
  r = std::max(r, 0);
  b = std::max(b, 0);
  const int sx[4] = {srcX, srcX + l, srcX + srcW - r, srcX + srcW};
  const int sy[4] = {srcY, srcY + t, srcY + srcH - b, srcY + srcH};
  const int dx[4] = {dest.left, dest.left + l, dest.right - r, dest.right};
  const int dy[4] = {dest.top, dest.top + t, dest.bottom - b, dest.bottom};
  // Corners first, then edges, centre last; in a destination smaller than the borders the
  // pieces simply overlap (empty pieces are skipped).
  static constexpr int kOrder[9][2] = {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {1, 1}};
  for (const auto& [col, row] : kOrder) {
    const CRect s(sx[col], sy[row], sx[col + 1], sy[row + 1]);
    // Corners keep their size even when the destination is too small for them.
    CRect d(dx[col], dy[row], dx[col + 1], dy[row + 1]);
    if (col != 1) d = col == 0 ? CRect(dest.left, d.top, dest.left + l, d.bottom) : CRect(dest.right - r, d.top, dest.right, d.bottom);
    if (row != 1) d = row == 0 ? CRect(d.left, dest.top, d.right, dest.top + t) : CRect(d.left, dest.bottom - b, d.right, dest.bottom);
    if (s.IsRectEmpty() || d.IsRectEmpty()) continue;
    canvas.Save();
    canvas.ClipRect(dest);
    canvas.DrawImage(image, d, s, alpha, imageFrame);
    canvas.Restore();
  }
}

void MRender::DrawRoundRectangle(Canvas& canvas, int x, int y, int w, int h, int r, ARGB color) {
  canvas.FillRoundRect(CRect(x, y, x + w, y + h), r, color);
}

void MRender::DrawRoundRectangle(Canvas& canvas, int x, int y, int w, int h, int k, ARGB pen, float penWidth, bool fill,
                                 ARGB fillColor) {
  if (k <= 0 || w <= 0 || h <= 0) return;
  double rx = w / (2.0 * k);
  double ry = h / (2.0 * k);
  if (std::abs(rx - ry) > 10) rx = ry = std::min(rx, ry);
  cairo_t* cr = canvas.Cr();
  cairo_save(cr);
  const double half = penWidth / 2.0;
  const double l = x + half, t = y + half, rt = x + w - half, bt = y + h - half;
  cairo_new_path(cr);
  auto corner = [&](double cx, double cy, double start) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, std::max(rx, 0.01), std::max(ry, 0.01));
    cairo_arc(cr, 0, 0, 1, start, start + std::numbers::pi / 2);
    cairo_restore(cr);
  };
  corner(rt - rx, t + ry, -std::numbers::pi / 2);
  corner(rt - rx, bt - ry, 0);
  corner(l + rx, bt - ry, std::numbers::pi / 2);
  corner(l + rx, t + ry, std::numbers::pi);
  cairo_close_path(cr);
  if (fill && ArgbAlpha(fillColor)) {
    SetSourceArgb(cr, fillColor);
    cairo_fill_preserve(cr);
  }
  SetSourceArgb(cr, pen);
  cairo_set_line_width(cr, penWidth);
  cairo_stroke(cr);
  cairo_restore(cr);
}

namespace {
void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
}  // namespace

bool MRender::SaveBitmapToFile(Canvas& canvas, const std::wstring& path) {
  // BMP layout: 14-byte file header ("BM", file size, 0, pixel offset 54), 40-byte info header
  // (positive height = bottom-up rows, 24 bits, no compression), rows padded to 4 bytes.
  const int w = canvas.Width();
  const int h = canvas.Height();
  const uint32_t rowBytes = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(h);
  std::string out;
  out.reserve(54 + pixelBytes);
  out += "BM";
  Put32(out, 54 + pixelBytes);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(w));
  Put32(out, static_cast<uint32_t>(h));
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);
  Put32(out, pixelBytes);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  const uint32_t* px = canvas.Pixels();
  const int stride = canvas.StridePixels();
  for (int y = h - 1; y >= 0; --y) {
    const size_t start = out.size();
    for (int x = 0; x < w; ++x) {
      const uint32_t p = px[static_cast<size_t>(y) * stride + x];  // premultiplied = composited on black
      out.push_back(static_cast<char>(p & 0xFF));
      out.push_back(static_cast<char>((p >> 8) & 0xFF));
      out.push_back(static_cast<char>((p >> 16) & 0xFF));
    }
    out.resize(start + rowBytes, '\0');
  }
  std::ofstream file(NativePath(path), std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  file.close();
  return !file.fail();
}

bool MRender::SavePng(Canvas& canvas, const std::wstring& path) {
  canvas.Flush();
  return cairo_surface_write_to_png(canvas.Surface(), NativePath(path).c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace kl::vela
