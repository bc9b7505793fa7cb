#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include "velaui/core/Canvas.h"
#include "velaui/core/Fonts.h"
#include "velaui/core/Image.h"
#include "velaui/core/MRender.h"

namespace kl::test {
namespace {

using vela::Canvas;

// One premultiplied pixel's channels.
int A(uint32_t p) { return static_cast<int>(p >> 24); }
int R(uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }

std::unique_ptr<vela::Image> SolidImage(int w, int h, uint32_t premultiplied) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_flush(s);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
  for (int i = 0; i < w * h; ++i) px[i] = premultiplied;
  cairo_surface_mark_dirty(s);
  return vela::Image::FromSurfaces({s});
}

TEST(CanvasTest, OnePixelLinesCoverExactlyOneRowOrColumn) {
  Canvas c(20, 20);
  c.DrawLine(0, 5, 20, 5, 0xFFFF0000);
  c.DrawLine(9, 0, 9, 20, 0xFF00FF00);
  for (int x : {0, 4, 15, 19}) {
    EXPECT_EQ(c.PixelAt(x, 5), 0xFFFF0000u) << x;
    EXPECT_EQ(c.PixelAt(x, 4), 0u) << x;
    EXPECT_EQ(c.PixelAt(x, 6), 0u) << x;
  }
  EXPECT_EQ(c.PixelAt(9, 0), 0xFF00FF00u);
  EXPECT_EQ(c.PixelAt(8, 0), 0u);
  EXPECT_EQ(c.PixelAt(10, 0), 0u);
}

TEST(CanvasTest, ScaledImagesKeepTheirEdgeColourInsteadOfFadingOut) {
  auto image = SolidImage(2, 2, 0xFF204060);
  Canvas c(40, 40);
  c.DrawImage(*image, CRect(5, 5, 35, 35), CRect(0, 0, 2, 2));
  for (CPoint p : {CPoint{5, 5}, CPoint{34, 34}, CPoint{5, 34}, CPoint{20, 20}}) EXPECT_EQ(c.PixelAt(p.x, p.y), 0xFF204060u);
  EXPECT_EQ(c.PixelAt(4, 4), 0u);
  EXPECT_EQ(c.PixelAt(35, 35), 0u);
}

TEST(CanvasTest, DrawingAFrameOfAStripTakesNothingFromItsNeighbours) {
  // Two 4x4 frames side by side: red and blue. Frame 1 scaled up must stay pure blue.
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 4);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
  const int stride = cairo_image_surface_get_stride(s) / 4;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) px[y * stride + x] = x < 4 ? 0xFFFF0000 : 0xFF0000FF;
  cairo_surface_mark_dirty(s);
  auto strip = vela::Image::FromSurfaces({s});
  Canvas c(30, 30);
  c.DrawImage(*strip, CRect(0, 0, 30, 30), CRect(4, 0, 8, 4));
  for (int x : {0, 1, 15, 29}) EXPECT_EQ(c.PixelAt(x, 10), 0xFF0000FFu) << x;
}

TEST(CanvasTest, ConstantAlphaTransitionsUseExactIntegerAlphas) {
  Canvas fill(10, 10);
  fill.FillSolidRect(fill.Bounds(), 0xFFFFFF);  // white (COLORREF)
  struct Case {
    int a, b, firstAlpha, lastAlpha;
  };
  for (const Case& k : {Case{80, 80, 51, 51}, Case{0, 100, 255, 0}, Case{50, 50, 127, 127}}) {
    Canvas dst(10, 10);
    vela::MRender::DrawVerticalTransition(dst, fill, dst.Bounds(), fill.Bounds(), k.a, k.b);
    EXPECT_EQ(A(dst.PixelAt(3, 0)), k.firstAlpha) << k.a << "/" << k.b;
    EXPECT_EQ(A(dst.PixelAt(3, 9)), k.lastAlpha) << k.a << "/" << k.b;
    // Every pixel of one row has the same value (no per-pixel alpha).
    EXPECT_EQ(dst.PixelAt(0, 4), dst.PixelAt(9, 4));
  }
  Canvas h(10, 4);
  vela::MRender::DrawHorizontalTransition(h, fill, h.Bounds(), CRect(0, 0, 10, 4), 0, 100);
  EXPECT_EQ(A(h.PixelAt(0, 2)), 255);
  EXPECT_EQ(A(h.PixelAt(9, 2)), 0);
  EXPECT_GT(A(h.PixelAt(4, 2)), A(h.PixelAt(6, 2)));
}

TEST(CanvasTest, ColourWithZeroAlphaDrawsNothingAndBlackIsKeptApart) {
  Canvas c(4, 4);
  vela::MRender::DrawColor(c, c.Bounds(), 0x00FF0000);
  EXPECT_EQ(c.PixelAt(1, 1), 0u);
  vela::MRender::DrawColor(c, c.Bounds(), 0x80FF0000);
  EXPECT_EQ(A(c.PixelAt(1, 1)), 0x80);
  EXPECT_EQ(R(c.PixelAt(1, 1)), 0x80) << "premultiplied";
  ARGB black = 0xFF000000;
  vela::MRender::CheckAlphaColor(black);
  EXPECT_EQ(black, 0xFF000001u);
  ARGB blue = 0xFF0000FF;
  vela::MRender::CheckAlphaColor(blue);
  EXPECT_EQ(blue, 0xFF0000FFu);
}

TEST(CanvasTest, OriginPointsFollowTheAlignmentCodes) {
  struct Case {
    int h, v;
    CPoint expected;
  };
  for (const Case& k : {Case{0, 0, {0, 0}}, Case{1, 4, {40, 15}}, Case{2, 8, {80, 30}}, Case{7, 7, {0, 0}}})
    EXPECT_EQ(vela::MRender::GetOriginPoint(100, 40, 20, 10, k.h, k.v), k.expected) << k.h << "," << k.v;
  EXPECT_EQ(vela::MRender::GetOriginPoint(CRect(10, 10, 110, 50), 20, 10, 1, 4), (CPoint{50, 27}));
}

// ---- text ----

TEST(CanvasTest, TextWrapsAtWordsAndEllipsisStaysInsideTheBox) {
  const vela::Font font{L"SourceHanSansCN-Regular", 14, 0};
  const std::wstring text = L"Lighting effects follow the music you play";
  const CSize one = Canvas::MeasureText(text, font);
  const CSize wrapped = Canvas::MeasureText(text, font, 120, vela::DT_WORDBREAK);
  EXPECT_GT(one.cx, 120);
  EXPECT_LE(wrapped.cx, 120);
  EXPECT_GE(wrapped.cy, 2 * one.cy);
  const CSize cut = Canvas::MeasureText(text, font, 120, vela::DT_SINGLELINE | vela::DT_END_ELLIPSIS);
  EXPECT_LE(cut.cx, 120);
  EXPECT_EQ(cut.cy, one.cy);
  EXPECT_EQ(Canvas::MeasureText(L"", font).cx, 0);
  // Pixel sizes: 28 px text is about twice as tall as 14 px text.
  const CSize big = Canvas::MeasureText(text, vela::Font{font.face, 28, 0});
  EXPECT_NEAR(static_cast<double>(big.cy) / one.cy, 2.0, 0.15);
}

TEST(CanvasTest, AlignedTextLandsInTheRequestedPartOfTheBox) {
  const vela::Font font{L"", 16, 0};
  struct Case {
    unsigned format;
    bool inLeft, inRight, inTop, inBottom;
  };
  const Case cases[] = {
      {vela::DT_LEFT | vela::DT_TOP, true, false, true, false},
      {vela::DT_RIGHT | vela::DT_BOTTOM, false, true, false, true},
      {vela::DT_CENTER | vela::DT_VCENTER, false, false, false, false},
  };
  for (const Case& k : cases) {
    Canvas c(200, 100);
    c.DrawText(L"Keyloft", c.Bounds(), font, 0xFFFFFFFF, k.format | vela::DT_SINGLELINE);
    int minX = 200, maxX = -1, minY = 100, maxY = -1;
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 200; ++x)
        if (A(c.PixelAt(x, y)) > 0) {
          minX = std::min(minX, x);
          maxX = std::max(maxX, x);
          minY = std::min(minY, y);
          maxY = std::max(maxY, y);
        }
    ASSERT_GE(maxX, 0) << "text was drawn";
    EXPECT_EQ(minX < 20, k.inLeft) << k.format;
    EXPECT_EQ(maxX > 180, k.inRight) << k.format;
    EXPECT_EQ(minY < 10, k.inTop) << k.format;
    EXPECT_EQ(maxY > 90, k.inBottom) << k.format;
    if (k.format & vela::DT_CENTER) {
      EXPECT_NEAR((minX + maxX) / 2.0, 100, 6);
    }
  }
}

TEST(CanvasTest, ChineseTextUsesTheSimplifiedChineseFace) {
  ASSERT_EQ(vela::ResolveFontFace(L"SourceHanSansCN-Regular"), "Noto Sans CJK SC");
  ASSERT_EQ(vela::ResolveFontFace(L""), "Noto Sans CJK SC");
  ASSERT_EQ(vela::ResolveFontFace(L"DejaVu Sans"), "DejaVu Sans");
  if (!vela::HasFontFamily(L"Noto Sans CJK SC")) GTEST_SKIP() << "fonts-noto-cjk is not installed";
  PangoLayout* layout = pango_layout_new(vela::SharedPangoContext());
  PangoFontDescription* desc = vela::CreateFontDescription(vela::Font{L"SourceHanSansCN-Regular", 14, 0});
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  pango_layout_set_text(layout, "配置方案", -1);
  PangoLayoutIter* it = pango_layout_get_iter(layout);
  PangoLayoutRun* run = pango_layout_iter_get_run_readonly(it);
  ASSERT_NE(run, nullptr);
  PangoFontDescription* used = pango_font_describe(run->item->analysis.font);
  EXPECT_STREQ(pango_font_description_get_family(used), "Noto Sans CJK SC");
  pango_font_description_free(used);
  pango_layout_iter_free(it);
  g_object_unref(layout);
}

TEST(CanvasTest, FillSolidRectReplacesAndClearRectEmpties) {
  Canvas c(4, 4);
  c.FillRect(c.Bounds(), 0x80FFFFFF);
  c.FillSolidRect(CRect(0, 0, 2, 4), MakeColorRef(0x10, 0x20, 0x30));
  EXPECT_EQ(c.PixelAt(0, 0), 0xFF102030u);
  c.ClearRect(CRect(0, 0, 1, 1));
  EXPECT_EQ(c.PixelAt(0, 0), 0u);
  EXPECT_EQ(A(c.PixelAt(3, 3)), 0x80);
}

}  // namespace
}  // namespace kl::test
