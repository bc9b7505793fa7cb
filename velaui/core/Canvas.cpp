#include "velaui/core/Canvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <numbers>

#include "base/Encoding.h"
#include "velaui/core/Fonts.h"
#include "velaui/core/Image.h"

namespace kl::vela {

void SetSourceArgb(cairo_t* cr, ARGB c) {
  cairo_set_source_rgba(cr, ArgbRed(c) / 255.0, ArgbGreen(c) / 255.0, ArgbBlue(c) / 255.0, ArgbAlpha(c) / 255.0);
}

namespace {

void RectPath(cairo_t* cr, const CRect& r) { cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height()); }

// paint_with_alpha takes a double; this one lands exactly on the integer alpha (n/255 rounds back).
void PaintAlpha(cairo_t* cr, uint8_t alpha) {
  if (alpha == 255) cairo_paint(cr);
  else cairo_paint_with_alpha(cr, alpha / 255.0);
}

}  // namespace

Canvas::Canvas(int width, int height)
    : m_width(std::max(width, 1)),
      m_height(std::max(height, 1)),
      m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, m_width, m_height)),
      m_cr(cairo_create(m_surface)) {
  cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_GRAY);
}

Canvas::~Canvas() {
  cairo_destroy(m_cr);
  cairo_surface_destroy(m_surface);
}

uint32_t* Canvas::Pixels() {
  Flush();
  return reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(m_surface));
}

int Canvas::StridePixels() const { return cairo_image_surface_get_stride(m_surface) / 4; }

platform::PixelView Canvas::View() { return {Pixels(), m_width, m_height, StridePixels()}; }

uint32_t Canvas::PixelAt(int x, int y) {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
  return Pixels()[static_cast<size_t>(y) * StridePixels() + x];
}

void Canvas::Flush() { cairo_surface_flush(m_surface); }
void Canvas::MarkDirty() { cairo_surface_mark_dirty(m_surface); }

void Canvas::Save() { cairo_save(m_cr); }
void Canvas::Restore() { cairo_restore(m_cr); }

void Canvas::ClipRect(const CRect& rect) {
  RectPath(m_cr, rect);
  cairo_clip(m_cr);
}

void Canvas::FillRect(const CRect& rect, ARGB color) {
  if (ArgbAlpha(color) == 0 || rect.IsRectEmpty()) return;
  SetSourceArgb(m_cr, color);
  RectPath(m_cr, rect);
  cairo_fill(m_cr);
}

void Canvas::FillSolidRect(const CRect& rect, COLORREF color) {
  if (rect.IsRectEmpty()) return;
  cairo_save(m_cr);
  cairo_set_operator(m_cr, CAIRO_OPERATOR_SOURCE);
  SetSourceArgb(m_cr, ColorRefToArgb(color));
  RectPath(m_cr, rect);
  cairo_fill(m_cr);
  cairo_restore(m_cr);
}

void Canvas::ClearRect(const CRect& rect) {
  if (rect.IsRectEmpty()) return;
  cairo_save(m_cr);
  cairo_set_operator(m_cr, CAIRO_OPERATOR_CLEAR);
  RectPath(m_cr, rect);
  cairo_fill(m_cr);
  cairo_restore(m_cr);
}

void Canvas::DrawLine(int x1, int y1, int x2, int y2, ARGB color, float width) {
  if (ArgbAlpha(color) == 0) return;
  cairo_save(m_cr);
  SetSourceArgb(m_cr, color);
  cairo_set_line_width(m_cr, width);
  // Odd widths sit on pixel centres, so a 1-pixel line covers exactly one row or column.
  const double shift = (static_cast<int>(width + 0.5f) % 2) ? 0.5 : 0.0;
  const bool horizontal = y1 == y2;
  const bool vertical = x1 == x2;
  cairo_move_to(m_cr, x1 + (horizontal ? 0 : shift), y1 + (vertical ? 0 : shift));
  cairo_line_to(m_cr, x2 + (horizontal ? 0 : shift), y2 + (vertical ? 0 : shift));
  if (horizontal || vertical) cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_NONE);
  cairo_stroke(m_cr);
  cairo_restore(m_cr);
}

void Canvas::DrawRectOutline(const CRect& rect, ARGB color) {
  if (rect.IsRectEmpty() || ArgbAlpha(color) == 0) return;
  cairo_save(m_cr);
  SetSourceArgb(m_cr, color);
  cairo_set_line_width(m_cr, 1.0);
  cairo_rectangle(m_cr, rect.left + 0.5, rect.top + 0.5, rect.Width() - 1, rect.Height() - 1);
  cairo_stroke(m_cr);
  cairo_restore(m_cr);
}

void Canvas::FillRoundRect(const CRect& rect, double radius, ARGB color) {
  if (rect.IsRectEmpty() || ArgbAlpha(color) == 0) return;
  const double r = std::clamp(radius, 0.0, std::min(rect.Width(), rect.Height()) / 2.0);
  const double l = rect.left, t = rect.top, rt = rect.right, b = rect.bottom;
  cairo_new_sub_path(m_cr);
  cairo_arc(m_cr, rt - r, t + r, r, -std::numbers::pi / 2, 0);
  cairo_arc(m_cr, rt - r, b - r, r, 0, std::numbers::pi / 2);
  cairo_arc(m_cr, l + r, b - r, r, std::numbers::pi / 2, std::numbers::pi);
  cairo_arc(m_cr, l + r, t + r, r, std::numbers::pi, 3 * std::numbers::pi / 2);
  cairo_close_path(m_cr);
  SetSourceArgb(m_cr, color);
  cairo_fill(m_cr);
}

void Canvas::DrawImage(const Image& image, const CRect& dest, const CRect& src, uint8_t alpha, int frame) {
  if (dest.IsRectEmpty() || src.IsRectEmpty() || alpha == 0) return;
  cairo_save(m_cr);
  RectPath(m_cr, dest);
  cairo_clip(m_cr);
  cairo_translate(m_cr, dest.left, dest.top);
  const double sx = static_cast<double>(dest.Width()) / src.Width();
  const double sy = static_cast<double>(dest.Height()) / src.Height();
  cairo_scale(m_cr, sx, sy);
  // A sub-surface keeps neighbouring pixels of the strip out, and EXTEND_PAD repeats the edge
  // pixels instead of fading them into transparency.
  cairo_surface_t* part = cairo_surface_create_for_rectangle(image.Frame(frame), src.left, src.top, src.Width(), src.Height());
  cairo_set_source_surface(m_cr, part, 0, 0);
  cairo_pattern_t* pattern = cairo_get_source(m_cr);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(pattern, (sx == 1.0 && sy == 1.0) ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
  PaintAlpha(m_cr, alpha);
  cairo_restore(m_cr);
  cairo_surface_destroy(part);
}

void Canvas::BitBlt(const CRect& dest, const Canvas& src, CPoint srcPoint) {
  if (dest.IsRectEmpty()) return;
  cairo_save(m_cr);
  cairo_set_operator(m_cr, CAIRO_OPERATOR_SOURCE);
  RectPath(m_cr, dest);
  cairo_clip(m_cr);
  cairo_set_source_surface(m_cr, src.m_surface, dest.left - srcPoint.x, dest.top - srcPoint.y);
  cairo_paint(m_cr);
  cairo_restore(m_cr);
}

void Canvas::AlphaBlend(const CRect& dest, const Canvas& src, const CRect& srcRect, uint8_t alpha) {
  if (dest.IsRectEmpty() || srcRect.IsRectEmpty() || alpha == 0) return;
  cairo_save(m_cr);
  RectPath(m_cr, dest);
  cairo_clip(m_cr);
  cairo_translate(m_cr, dest.left, dest.top);
  cairo_scale(m_cr, static_cast<double>(dest.Width()) / srcRect.Width(), static_cast<double>(dest.Height()) / srcRect.Height());
  cairo_set_source_surface(m_cr, src.m_surface, -srcRect.left, -srcRect.top);
  cairo_pattern_set_filter(cairo_get_source(m_cr), CAIRO_FILTER_NEAREST);
  PaintAlpha(m_cr, alpha);
  cairo_restore(m_cr);
}

namespace {

PangoLayout* MakeLayout(const std::wstring& text, const Font& font, int maxWidth, unsigned format) {
  PangoLayout* layout = pango_layout_new(SharedPangoContext());
  const std::string utf8 = WideToUtf8(text);
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  PangoFontDescription* desc = CreateFontDescription(font);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  if (font.style & (FontStyleUnderline | FontStyleStrikeout)) {
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.style & FontStyleUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.style & FontStyleStrikeout) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
  }
  if (maxWidth > 0) {
    pango_layout_set_width(layout, maxWidth * PANGO_SCALE);
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
      pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    } else {
      pango_layout_set_height(layout, 0);  // one line
    }
    pango_layout_set_ellipsize(layout, (format & DT_END_ELLIPSIS) ? PANGO_ELLIPSIZE_END : PANGO_ELLIPSIZE_NONE);
    if (!(format & DT_END_ELLIPSIS) && !(format & DT_WORDBREAK)) pango_layout_set_width(layout, -1);
  }
  pango_layout_set_alignment(layout, (format & DT_CENTER) ? PANGO_ALIGN_CENTER : (format & DT_RIGHT) ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT);
  return layout;
}

}  // namespace

void Canvas::DrawText(const std::wstring& text, const CRect& rect, const Font& font, ARGB color, unsigned format) {
  if (text.empty() || rect.IsRectEmpty() || ArgbAlpha(color) == 0) return;
  PangoLayout* layout = MakeLayout(text, font, rect.Width(), format);
  // Without wrapping or ellipsis the layout has no width: place it by its own size.
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  int x = rect.left;
  if (pango_layout_get_width(layout) < 0) {
    if (format & DT_CENTER) x = rect.left + (rect.Width() - w) / 2;
    else if (format & DT_RIGHT) x = rect.right - w;
  }
  int y = rect.top;
  if (format & DT_VCENTER) y = rect.top + (rect.Height() - h) / 2;
  else if (format & DT_BOTTOM) y = rect.bottom - h;
  cairo_save(m_cr);
  RectPath(m_cr, rect);
  cairo_clip(m_cr);
  SetSourceArgb(m_cr, color);
  cairo_move_to(m_cr, x, y);
  pango_cairo_show_layout(m_cr, layout);
  cairo_restore(m_cr);
  g_object_unref(layout);
}

CSize Canvas::MeasureText(const std::wstring& text, const Font& font, int maxWidth, unsigned format) {
  if (text.empty()) return {};
  PangoLayout* layout = MakeLayout(text, font, maxWidth, format);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  g_object_unref(layout);
  return {w, h};
}

}  // namespace kl::vela
