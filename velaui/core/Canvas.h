// Canvas: the drawing surface of VelaUI, an ARGB32 Cairo image surface with the drawing rules
// the controls were designed with:
//   - 1-pixel lines sit on pixel centres (a line from (0,5) to (10,5) covers row 5 only);
//   - scaled images do not fade at their edges (the source edge pixels are extended);
//   - constant-alpha blends take the alpha as an exact integer (a row blended at 51 gets 51).
// Colours are ARGB (straight alpha); the surface itself holds premultiplied pixels.
// A Canvas belongs to the UI thread.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

#include "base/Color.h"
#include "base/Geometry.h"
#include "platform/WindowSystem.h"

namespace kl::vela {

class Image;

// Text format bits (the values of the alignment fields of MControlFont and DrawText).
enum TextFormat : unsigned {
  DT_LEFT = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_TOP = 0x0,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_END_ELLIPSIS = 0x8000,
};

// Font style bits.
enum FontStyle : int { FontStyleRegular = 0, FontStyleBold = 1, FontStyleItalic = 2, FontStyleUnderline = 4, FontStyleStrikeout = 8 };

struct Font {
  std::wstring face;
  int pixelSize = 14;
  int style = FontStyleRegular;
};

class Canvas {
 public:
  // A transparent surface of the given size (at least 1 x 1).
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  CRect Bounds() const { return CRect(0, 0, m_width, m_height); }
  cairo_t* Cr() const { return m_cr; }
  cairo_surface_t* Surface() const { return m_surface; }
  // The pixels (premultiplied ARGB); Flush() first when Cairo drew since the last access.
  uint32_t* Pixels();
  int StridePixels() const;
  platform::PixelView View();
  uint32_t PixelAt(int x, int y);  // premultiplied; 0 outside

  void Save();
  void Restore();
  void ClipRect(const CRect& rect);

  // Fills with straight-alpha colour over what is there; alpha 0 draws nothing.
  void FillRect(const CRect& rect, ARGB color);
  // Replaces the pixels with an opaque colour (GDI's FillSolidRect).
  void FillSolidRect(const CRect& rect, COLORREF color);
  // Sets the pixels to fully transparent.
  void ClearRect(const CRect& rect);
  void DrawLine(int x1, int y1, int x2, int y2, ARGB color, float width = 1.0f);
  void DrawRectOutline(const CRect& rect, ARGB color);
  void FillRoundRect(const CRect& rect, double radius, ARGB color);
  // Draws the `src` part of `image`'s frame `frame` into `dest`, scaled; `alpha` multiplies.
  void DrawImage(const Image& image, const CRect& dest, const CRect& src, uint8_t alpha = 255, int frame = 0);
  // Copies (alpha 255: replaces) or blends (below 255) a part of another canvas.
  void BitBlt(const CRect& dest, const Canvas& src, CPoint srcPoint);
  void AlphaBlend(const CRect& dest, const Canvas& src, const CRect& srcRect, uint8_t alpha);

  // Text through Pango: `format` takes the TextFormat bits; the text is clipped to `rect`.
  void DrawText(const std::wstring& text, const CRect& rect, const Font& font, ARGB color, unsigned format);
  // Size of the laid-out text; maxWidth <= 0 means no wrapping.
  static CSize MeasureText(const std::wstring& text, const Font& font, int maxWidth = 0, unsigned format = DT_SINGLELINE);

  // Marks direct pixel writes done / asks Cairo to finish pending drawing.
  void Flush();
  void MarkDirty();

 private:
  int m_width;
  int m_height;
  cairo_surface_t* m_surface;
  cairo_t* m_cr;
};

void SetSourceArgb(cairo_t* cr, ARGB color);

}  // namespace kl::vela
