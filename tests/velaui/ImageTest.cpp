#include <gif_lib.h>
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "tests/TestSupport.h"
#include "velaui/core/Canvas.h"
#include "velaui/core/Image.h"
#include "velaui/core/MRender.h"

namespace kl::test {
namespace {

using vela::Canvas;
using vela::Image;

uint32_t Pixel(const Image& image, int frame, int x, int y) {
  cairo_surface_t* s = image.Frame(frame);
  cairo_surface_flush(s);
  return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s))[y * cairo_image_surface_get_stride(s) / 4 + x];
}

std::string PngBytes(int w, int h, uint32_t premultiplied) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgba(cr, ((premultiplied >> 16) & 0xFF) / 255.0, ((premultiplied >> 8) & 0xFF) / 255.0,
                        (premultiplied & 0xFF) / 255.0, (premultiplied >> 24) / 255.0);
  cairo_paint(cr);
  cairo_destroy(cr);
  std::string out;
  cairo_surface_write_to_png_stream(
      s,
      [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
      },
      &out);
  cairo_surface_destroy(s);
  return out;
}

// A 4x4 GIF with two frames: frame 1 all red; frame 2 paints only its top-left 2x2 (blue), so the
// composed second frame keeps red elsewhere unless frame 1 is disposed to the background.
std::string TwoFrameGif(int firstDisposal) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(
      &out,
      [](GifFileType* g, const GifByteType* data, int length) {
        static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
        return length;
      },
      &error);
  GifColorType colors[4] = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {0, 0, 0}};
  ColorMapObject* map = GifMakeMapObject(4, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, 4, 4, 8, 0, map);
  auto frame = [&](int w, int h, GifByteType index, int disposal) {
    GraphicsControlBlock gcb{disposal, false, 5, NO_TRANSPARENT_COLOR};
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
    EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
    std::vector<GifPixelType> line(static_cast<size_t>(w), index);
    for (int y = 0; y < h; ++y) EGifPutLine(gif, line.data(), w);
  };
  frame(4, 4, 0, firstDisposal);
  frame(2, 2, 1, DISPOSAL_UNSPECIFIED);
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

TEST(ImageTest, PngLoadsWithItsSizeAndPixels) {
  auto image = Image::LoadFromMemory(PngBytes(3, 2, 0xFF112233));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Width(), 3);
  EXPECT_EQ(image->Height(), 2);
  EXPECT_EQ(image->FrameCount(), 1);
  EXPECT_EQ(Pixel(*image, 0, 2, 1), 0xFF112233u);
}

TEST(ImageTest, GifFramesAreComposedWithTheirDisposal) {
  struct Case {
    int disposal;
    uint32_t secondFrameCorner;  // pixel (3,3) of frame 2
  };
  for (const Case& k : {Case{DISPOSE_DO_NOT, 0xFFFF0000u}, Case{DISPOSE_BACKGROUND, 0u}}) {
    auto gif = Image::LoadFromMemory(TwoFrameGif(k.disposal));
    ASSERT_NE(gif, nullptr) << k.disposal;
    ASSERT_EQ(gif->FrameCount(), 2);
    EXPECT_EQ(Pixel(*gif, 0, 3, 3), 0xFFFF0000u);
    EXPECT_EQ(Pixel(*gif, 1, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(Pixel(*gif, 1, 3, 3), k.secondFrameCorner) << k.disposal;
    EXPECT_EQ(gif->FrameDelayMs(0), 50);
  }
}

// ICO with one 2x2 entry: 32-bit BGRA with alpha (bottom-up rows), or 24-bit with an AND mask.
std::string Ico(int bits) {
  std::string dib;
  auto put32 = [&](std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto put16 = [&](std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
  };
  put32(dib, 40);
  put32(dib, 2);
  put32(dib, 4);  // both masks
  put16(dib, 1);
  put16(dib, static_cast<uint16_t>(bits));
  for (int i = 0; i < 6; ++i) put32(dib, 0);
  // Bottom row first: bottom-left green, bottom-right blue; top-left red, top-right white.
  const uint32_t bottom[2] = {0x8000FF00, 0xFF0000FF};
  const uint32_t top[2] = {0xFFFF0000, 0xFFFFFFFF};
  for (const uint32_t* row : {bottom, top}) {
    std::string line;
    for (int x = 0; x < 2; ++x) {
      line.push_back(static_cast<char>(row[x] & 0xFF));
      line.push_back(static_cast<char>((row[x] >> 8) & 0xFF));
      line.push_back(static_cast<char>((row[x] >> 16) & 0xFF));
      if (bits == 32) line.push_back(static_cast<char>(row[x] >> 24));
    }
    line.resize((line.size() + 3) & ~size_t{3}, '\0');
    dib += line;
  }
  // AND mask: bottom-right pixel transparent (bit set), rows padded to 4 bytes.
  dib += std::string("\x40\0\0\0", 4);
  dib += std::string("\0\0\0\0", 4);
  std::string ico;
  put16(ico, 0);
  put16(ico, 1);
  put16(ico, 1);
  ico.push_back(2);
  ico.push_back(2);
  ico.push_back(0);
  ico.push_back(0);
  put16(ico, 1);
  put16(ico, static_cast<uint16_t>(bits));
  put32(ico, static_cast<uint32_t>(dib.size()));
  put32(ico, 22);
  return ico + dib;
}

TEST(ImageTest, IcoEntriesDecodeWithAlphaOrMask) {
  auto withAlpha = Image::LoadFromMemory(Ico(32));
  ASSERT_NE(withAlpha, nullptr);
  EXPECT_EQ(Pixel(*withAlpha, 0, 0, 0), 0xFFFF0000u) << "top row first";
  EXPECT_EQ(Pixel(*withAlpha, 0, 0, 1), 0x80008000u) << "premultiplied half-transparent green";
  EXPECT_EQ(Pixel(*withAlpha, 0, 1, 1), 0xFF0000FFu) << "alpha data wins over the mask";
  auto withMask = Image::LoadFromMemory(Ico(24));
  ASSERT_NE(withMask, nullptr);
  EXPECT_EQ(Pixel(*withMask, 0, 1, 1), 0u) << "masked out";
  EXPECT_EQ(Pixel(*withMask, 0, 0, 1), 0xFF00FF00u);
}

TEST(ImageTest, DamagedOrForeignDataGivesNull) {
  const std::string png = PngBytes(4, 4, 0xFF000000);
  const std::string gif = TwoFrameGif(DISPOSE_DO_NOT);
  const std::string ico = Ico(32);
  for (const std::string& bad : {std::string(), std::string("not an image"), png.substr(0, png.size() / 2),
                                 gif.substr(0, 20), ico.substr(0, 30), std::string("\0\0\1\0\xFF\xFF", 6)})
    EXPECT_EQ(Image::LoadFromMemory(bad), nullptr) << bad.size();
  EXPECT_EQ(Image::LoadFromFile(L"/nonexistent/file.png"), nullptr);
}

// Damaged files must give null or a well-formed image, never a read outside the data (the
// sanitizer build watches every case): every truncation of the small files, and bytes of each
// header overwritten with values that make sizes and offsets lie.
TEST(ImageTest, MutatedFilesNeverReadOutsideTheirBytes) {
  const std::string files[] = {PngBytes(5, 3, 0xFF336699), TwoFrameGif(DISPOSE_BACKGROUND), Ico(32), Ico(24)};
  for (const std::string& original : files) {
    for (size_t length = 0; length < original.size(); ++length) {
      auto image = Image::LoadFromMemory(original.substr(0, length));
      if (image) {
        EXPECT_GT(image->Width() * image->Height(), 0);
      }
    }
    const std::string values = std::string("\x00\x01\x7F\x80\xFF", 5);
    for (size_t at = 0; at < std::min<size_t>(original.size(), 80); ++at)
      for (char v : values) {
        std::string bad = original;
        bad[at] = v;
        auto image = Image::LoadFromMemory(bad);
        if (image) {
          EXPECT_GT(image->Width(), 0);
          EXPECT_GT(image->FrameCount(), 0);
        }
      }
  }
}

TEST(ImageTest, FramePictureCornersStayUnscaledAndOverlapInSmallTargets) {
  // 9x9 picture: 3-pixel corners red, edges green, centre blue.
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 9, 9);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
  const int stride = cairo_image_surface_get_stride(s) / 4;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) {
      const bool edgeX = x < 3 || x >= 6;
      const bool edgeY = y < 3 || y >= 6;
      px[y * stride + x] = edgeX && edgeY ? 0xFFFF0000 : (edgeX || edgeY) ? 0xFF00FF00 : 0xFF0000FF;
    }
  cairo_surface_mark_dirty(s);
  auto image = Image::FromSurfaces({s});
  Canvas big(30, 20);
  vela::MRender::DrawImageFrame(big, *image, big.Bounds(), 0, 0, 9, 9, 3);
  struct Probe {
    int x, y;
    uint32_t expected;
  };
  for (const Probe& p : {Probe{0, 0, 0xFFFF0000}, Probe{2, 2, 0xFFFF0000}, Probe{29, 19, 0xFFFF0000}, Probe{15, 0, 0xFF00FF00},
                         Probe{0, 10, 0xFF00FF00}, Probe{15, 10, 0xFF0000FF}, Probe{27, 2, 0xFFFF0000}})
    EXPECT_EQ(big.PixelAt(p.x, p.y), p.expected) << p.x << "," << p.y;
  Canvas small(4, 4);  // smaller than two borders: only corners, overlapping
  vela::MRender::DrawImageFrame(small, *image, small.Bounds(), 0, 0, 9, 9, 3);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(small.PixelAt(x, y), 0xFFFF0000u) << x << "," << y;
}

TEST(ImageTest, SavedBitmapsAreValidBottomUpBmpFiles) {
  Canvas c(3, 2);
  c.FillSolidRect(CRect(0, 0, 3, 1), MakeColorRef(0xFF, 0, 0));  // top row red
  c.FillSolidRect(CRect(0, 1, 3, 2), MakeColorRef(0, 0, 0xFF));  // bottom row blue
  const auto path = ScratchFolder() / "shot.bmp";
  ASSERT_TRUE(vela::MRender::SaveBitmapToFile(c, Wide(path)));
  std::ifstream in(path, std::ios::binary);
  const std::string bmp((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bmp[at]) | static_cast<uint8_t>(bmp[at + 1]) << 8 |
                                 static_cast<uint8_t>(bmp[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bmp[at + 3])) << 24);
  };
  const size_t rowBytes = 12;  // 3 pixels x 3 bytes, padded to 4
  ASSERT_EQ(bmp.size(), 54 + 2 * rowBytes);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(u32(2), bmp.size());
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 3u);
  EXPECT_EQ(u32(22), 2u);
  EXPECT_EQ(static_cast<uint8_t>(bmp[28]), 24);
  // First stored row is the bottom one (blue: B=FF), BGR order.
  EXPECT_EQ(static_cast<uint8_t>(bmp[54]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(bmp[56]), 0x00);
  EXPECT_EQ(static_cast<uint8_t>(bmp[54 + rowBytes + 2]), 0xFF) << "then the red top row";
  EXPECT_FALSE(vela::MRender::SaveBitmapToFile(c, L"/nonexistent/dir/x.bmp"));
}

}  // namespace
}  // namespace kl::test
