// MRender: the drawing helpers every control uses (all static, UI thread).
#pragma once

#include <memory>
#include <string>

#include "base/Color.h"
#include "base/Geometry.h"
#include "velaui/core/Canvas.h"
#include "velaui/core/Image.h"

namespace kl::vela {

class MRender {
 public:
  static std::unique_ptr<Image> LoadImageFromFile(const std::wstring& path) { return Image::LoadFromFile(path); }

  static void FillSolidRect(Canvas& canvas, const CRect& rect, COLORREF color) { canvas.FillSolidRect(rect, color); }
  // Fills with an ARGB colour; alpha 0 draws nothing.
  static void DrawColor(Canvas& canvas, const CRect& rect, ARGB color) { canvas.FillRect(rect, color); }
  static void DrawTextW(Canvas& canvas, const CRect& rect, const std::wstring& text, COLORREF color, const Font& font,
                        unsigned format) {
    canvas.DrawText(text, rect, font, ColorRefToArgb(color), format);
  }
  static CSize GetTextBounds(const Font& font, unsigned format, const std::wstring& text, int maxWidth = 0) {
    return Canvas::MeasureText(text, font, maxWidth, format);
  }

  // Where content of cw x ch goes in a w x h box: h-align 1 centre / 2 right, v-align 4 centre / 8 bottom.
  static CPoint GetOriginPoint(int w, int h, int cw, int ch, int hAlign, int vAlign);
  // The same inside `rect`, placed 2 pixels lower (text sits visually centred that way).
  static CPoint GetOriginPoint(const CRect& rect, int cw, int ch, int hAlign, int vAlign);
  // A colour whose red, green and blue are all 0 becomes 1 (keeps "black" apart from "no colour").
  static void CheckAlphaColor(ARGB& color);

  // A two-colour gradient; the alpha used is the average of the two, and 0 draws nothing.
  static void DrawGradient(Canvas& canvas, const CRect& rect, ARGB from, ARGB to, bool vertical);
  // Blends `src` onto `dst` row by row (vertical) or column by column with a constant alpha per
  // row running from 255*(100-a)/100 at the first row to 255*(100-b)/100 at the last.
  static void DrawVerticalTransition(Canvas& dst, const Canvas& src, const CRect& dstRect, const CRect& srcRect, int a, int b);
  static void DrawHorizontalTransition(Canvas& dst, const Canvas& src, const CRect& dstRect, const CRect& srcRect, int a, int b);
  // Blends an n x n block at the bottom-right of `rect` pixel by pixel, fading out with the distance
  // from the block's top-left corner.
  static void DrawRightBottomTransition(Canvas& dst, const Canvas& src, const CRect& rect, int n);

  // Frame picture (nine-grid): the source rectangle is cut e pixels inside each edge; corners
  // are drawn unscaled, edges stretched along, the centre both ways.
  static void DrawImageFrame(Canvas& canvas, const Image& image, const CRect& dest, int srcX, int srcY, int srcW, int srcH,
                             int e, uint8_t alpha = 255, int imageFrame = 0);
  static void DrawImageFrameMID(Canvas& canvas, const Image& image, const CRect& dest, int srcX, int srcY, int srcW,
                                int srcH, int l, int t, int r, int b, uint8_t alpha = 255, int imageFrame = 0);

  static void DrawRoundRectangle(Canvas& canvas, int x, int y, int w, int h, int r, ARGB color);
  // Outline (optionally filled) with corner radii w/(2k) and h/(2k); when they differ by more than
  // 10 both become the smaller.
  static void DrawRoundRectangle(Canvas& canvas, int x, int y, int w, int h, int k, ARGB pen, float penWidth, bool fill,
                                 ARGB fillColor);

  // Writes the canvas as a 24-bit BMP (composited on black). False when the file cannot be written.
  static bool SaveBitmapToFile(Canvas& canvas, const std::wstring& path);
  // Writes the canvas as PNG. False on failure.
  static bool SavePng(Canvas& canvas, const std::wstring& path);
};

}  // namespace kl::vela
