#include "velaui/core/Image.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "base/Encoding.h"

namespace kl::vela {

namespace {

constexpr int kMaxSide = 16384;  // larger pictures are refused, not allocated

uint32_t Premultiply(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  auto mul = [a](uint8_t c) { return static_cast<uint32_t>((c * a + 127) / 255); };
  return (static_cast<uint32_t>(a) << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

cairo_surface_t* NewSurface(int w, int h) {
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  return s;
}

uint32_t* Row(cairo_surface_t* s, int y) {
  return reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s) + static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(s));
}

// ---- PNG ----

struct ReadCursor {
  std::string_view bytes;
  size_t pos = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* data, unsigned int length) {
  auto* c = static_cast<ReadCursor*>(closure);
  if (c->bytes.size() - c->pos < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, c->bytes.data() + c->pos, length);
  c->pos += length;
  return CAIRO_STATUS_SUCCESS;
}

std::unique_ptr<Image> DecodePng(std::string_view bytes) {
  ReadCursor cursor{bytes};
  cairo_surface_t* png = cairo_image_surface_create_from_png_stream(ReadPng, &cursor);
  if (cairo_surface_status(png) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(png);
    return nullptr;
  }
  // Normalise RGB24/A8 results to ARGB32 so every frame has one format.
  const int w = cairo_image_surface_get_width(png);
  const int h = cairo_image_surface_get_height(png);
  cairo_surface_t* argb = NewSurface(w, h);
  if (!argb) {
    cairo_surface_destroy(png);
    return nullptr;
  }
  cairo_t* cr = cairo_create(argb);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, png, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(png);
  return Image::FromSurfaces({argb});
}

// ---- GIF ----

int ReadGif(GifFileType* gif, GifByteType* data, int length) {
  auto* c = static_cast<ReadCursor*>(gif->UserData);
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max(length, 0)), c->bytes.size() - c->pos);
  std::memcpy(data, c->bytes.data() + c->pos, n);
  c->pos += n;
  return static_cast<int>(n);
}

std::unique_ptr<Image> DecodeGif(std::string_view bytes) {
  ReadCursor cursor{bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&cursor, ReadGif, &error);
  if (!gif) return nullptr;
  struct Closer {
    GifFileType* g;
    ~Closer() {
      int e = 0;
      DGifCloseFile(g, &e);
    }
  } closer{gif};
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) return nullptr;
  const int w = gif->SWidth;
  const int h = gif->SHeight;
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return nullptr;

  // The canvas every frame is composed on, in straight ARGB; frames are snapshots of it.
  std::vector<uint32_t> canvas(static_cast<size_t>(w) * h, 0);
  std::vector<cairo_surface_t*> frames;
  std::vector<int> delays;
  auto fail = [&] {
    for (cairo_surface_t* f : frames) cairo_surface_destroy(f);
    return nullptr;
  };
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& img = gif->SavedImages[i];
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const ColorMapObject* map = img.ImageDesc.ColorMap ? img.ImageDesc.ColorMap : gif->SColorMap;
    if (!map) return fail();
    const GifImageDesc& d = img.ImageDesc;
    std::vector<uint32_t> before;
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) before = canvas;
    for (int y = 0; y < d.Height; ++y)
      for (int x = 0; x < d.Width; ++x) {
        const int cx = d.Left + x;
        const int cy = d.Top + y;
        if (cx < 0 || cy < 0 || cx >= w || cy >= h) continue;
        const int index = img.RasterBits[static_cast<size_t>(y) * d.Width + x];
        if (index == gcb.TransparentColor || index >= map->ColorCount) continue;
        const GifColorType c = map->Colors[index];
        canvas[static_cast<size_t>(cy) * w + cx] = 0xFF000000u | (c.Red << 16) | (c.Green << 8) | c.Blue;
      }
    cairo_surface_t* frame = NewSurface(w, h);
    if (!frame) return fail();
    cairo_surface_flush(frame);
    for (int y = 0; y < h; ++y) std::copy_n(canvas.begin() + static_cast<ptrdiff_t>(y) * w, w, Row(frame, y));
    cairo_surface_mark_dirty(frame);
    frames.push_back(frame);
    delays.push_back(gcb.DelayTime > 0 ? gcb.DelayTime * 10 : 100);
    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      for (int y = std::max(0, d.Top); y < std::min(h, d.Top + d.Height); ++y)
        for (int x = std::max(0, d.Left); x < std::min(w, d.Left + d.Width); ++x) canvas[static_cast<size_t>(y) * w + x] = 0;
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      canvas = std::move(before);
    }
  }
  return Image::FromSurfaces(std::move(frames), std::move(delays));
}

// ---- ICO ----

uint32_t Le32(std::string_view b, size_t at) {
  return static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8) | (static_cast<uint8_t>(b[at + 2]) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24);
}
uint16_t Le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

// An ICO entry's DIB: BITMAPINFOHEADER, palette, XOR pixels bottom-up, AND mask bottom-up.
std::unique_ptr<Image> DecodeIcoDib(std::string_view dib) {
  if (dib.size() < 40 || Le32(dib, 0) < 40) return nullptr;
  const int w = static_cast<int32_t>(Le32(dib, 4));
  const int h = static_cast<int32_t>(Le32(dib, 8)) / 2;  // the height counts both masks
  const int bpp = Le16(dib, 14);
  if (w <= 0 || h <= 0 || w > 1024 || h > 1024) return nullptr;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return nullptr;
  const size_t header = Le32(dib, 0);
  const size_t colors = bpp <= 8 ? (Le32(dib, 32) ? Le32(dib, 32) : (1u << bpp)) : 0;
  if (colors > 256) return nullptr;
  const size_t paletteAt = header;
  const size_t pixelsAt = paletteAt + colors * 4;
  const size_t rowBytes = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  const size_t maskRow = ((static_cast<size_t>(w) + 31) / 32) * 4;
  const size_t maskAt = pixelsAt + rowBytes * h;
  if (maskAt > dib.size()) return nullptr;
  const bool hasMask = maskAt + maskRow * h <= dib.size();
  cairo_surface_t* s = NewSurface(w, h);
  if (!s) return nullptr;
  cairo_surface_flush(s);
  bool anyAlpha = false;
  if (bpp == 32)
    for (int y = 0; y < h && !anyAlpha; ++y)
      for (int x = 0; x < w && !anyAlpha; ++x) anyAlpha = dib[pixelsAt + y * rowBytes + x * 4 + 3] != 0;
  for (int y = 0; y < h; ++y) {
    const size_t row = pixelsAt + static_cast<size_t>(h - 1 - y) * rowBytes;
    uint32_t* out = Row(s, y);
    for (int x = 0; x < w; ++x) {
      uint8_t a = 255, r = 0, g = 0, b = 0;
      if (bpp == 32 || bpp == 24) {
        const size_t p = row + static_cast<size_t>(x) * (bpp / 8);
        b = static_cast<uint8_t>(dib[p]);
        g = static_cast<uint8_t>(dib[p + 1]);
        r = static_cast<uint8_t>(dib[p + 2]);
        if (bpp == 32 && anyAlpha) a = static_cast<uint8_t>(dib[p + 3]);
      } else {
        const size_t bit = static_cast<size_t>(x) * bpp;
        const uint8_t byte = static_cast<uint8_t>(dib[row + bit / 8]);
        const unsigned index = (byte >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        if (index < colors) {
          const size_t c = paletteAt + index * 4;
          b = static_cast<uint8_t>(dib[c]);
          g = static_cast<uint8_t>(dib[c + 1]);
          r = static_cast<uint8_t>(dib[c + 2]);
        }
      }
      if (hasMask && !(bpp == 32 && anyAlpha)) {
        const size_t m = maskAt + static_cast<size_t>(h - 1 - y) * maskRow + x / 8;
        if ((static_cast<uint8_t>(dib[m]) >> (7 - x % 8)) & 1) a = 0;
      }
      out[x] = Premultiply(a, r, g, b);
    }
  }
  cairo_surface_mark_dirty(s);
  return Image::FromSurfaces({s});
}

std::unique_ptr<Image> DecodeIco(std::string_view bytes) {
  if (bytes.size() < 6 || Le16(bytes, 0) != 0 || Le16(bytes, 2) != 1) return nullptr;
  const int count = Le16(bytes, 4);
  if (count == 0 || bytes.size() < 6 + static_cast<size_t>(count) * 16) return nullptr;
  // The largest entry wins; among equal sizes the deeper one.
  int best = -1;
  int bestArea = -1;
  int bestBits = -1;
  for (int i = 0; i < count; ++i) {
    const size_t e = 6 + static_cast<size_t>(i) * 16;
    const int w = static_cast<uint8_t>(bytes[e]) ? static_cast<uint8_t>(bytes[e]) : 256;
    const int h = static_cast<uint8_t>(bytes[e + 1]) ? static_cast<uint8_t>(bytes[e + 1]) : 256;
    const int bits = Le16(bytes, e + 6);
    if (w * h > bestArea || (w * h == bestArea && bits > bestBits)) {
      best = i;
      bestArea = w * h;
      bestBits = bits;
    }
  }
  const size_t e = 6 + static_cast<size_t>(best) * 16;
  const size_t size = Le32(bytes, e + 8);
  const size_t offset = Le32(bytes, e + 12);
  if (offset > bytes.size() || size > bytes.size() - offset) return nullptr;
  const std::string_view data = bytes.substr(offset, size);
  if (data.size() >= 8 && data.substr(0, 8) == "\x89PNG\r\n\x1a\n") return DecodePng(data);
  return DecodeIcoDib(data);
}

}  // namespace

Image::~Image() {
  for (cairo_surface_t* f : m_frames) cairo_surface_destroy(f);
}

std::unique_ptr<Image> Image::FromSurfaces(std::vector<cairo_surface_t*> frames, std::vector<int> delaysMs) {
  bool ok = !frames.empty();
  for (cairo_surface_t* f : frames)
    ok = ok && f && cairo_image_surface_get_format(f) == CAIRO_FORMAT_ARGB32 &&
         cairo_image_surface_get_width(f) == cairo_image_surface_get_width(frames[0]) &&
         cairo_image_surface_get_height(f) == cairo_image_surface_get_height(frames[0]);
  if (!ok) {
    for (cairo_surface_t* f : frames)
      if (f) cairo_surface_destroy(f);
    return nullptr;
  }
  std::unique_ptr<Image> image(new Image);
  image->m_width = cairo_image_surface_get_width(frames[0]);
  image->m_height = cairo_image_surface_get_height(frames[0]);
  delaysMs.resize(frames.size(), 100);
  image->m_frames = std::move(frames);
  image->m_delays = std::move(delaysMs);
  return image;
}

std::unique_ptr<Image> Image::LoadFromMemory(std::string_view bytes) {
  if (bytes.size() >= 8 && bytes.substr(0, 8) == "\x89PNG\r\n\x1a\n") return DecodePng(bytes);
  if (bytes.size() >= 6 && (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a")) return DecodeGif(bytes);
  if (bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("\0\0\1\0", 4)) return DecodeIco(bytes);
  return nullptr;
}

std::unique_ptr<Image> Image::LoadFromFile(const std::wstring& path) {
  std::ifstream in(WideToUtf8(path), std::ios::binary);
  if (!in) return nullptr;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return nullptr;
  return LoadFromMemory(bytes);
}

cairo_surface_t* Image::Frame(int index) const {
  return m_frames[static_cast<size_t>(std::clamp(index, 0, FrameCount() - 1))];
}

int Image::FrameDelayMs(int index) const { return m_delays[static_cast<size_t>(std::clamp(index, 0, FrameCount() - 1))]; }

}  // namespace kl::vela
