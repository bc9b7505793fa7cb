// skingen: draws every skin image of the program (buttons, icons, frames, the loading animation,
// the keyboard picture) into <out>/skins/theme1, deterministically: the same sources give the
// same bytes. Run at build time; nothing it writes is kept in the source tree.
//
//   skingen <output folder> <layouts folder>
//
// The dark theme: background #14171C, panels #1C2027, surfaces #232933, borders #343B47 and the
// accent #10A8FD. State strips hold their looks side by side:
//   4 frames: normal, hover, pressed, disabled
//   8 frames: the same four unchecked, then the four checked
#include <cairo.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "app/config/Layout.h"
#include "base/Encoding.h"

namespace {

namespace fs = std::filesystem;
using Painter = std::function<void(cairo_t*, double w, double h)>;
constexpr double kPi = std::numbers::pi;

struct Rgb {
  double r, g, b;
};
constexpr Rgb Hex(unsigned v) { return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0}; }

const Rgb kBack = Hex(0x14171C);
const Rgb kPanel = Hex(0x1C2027);
const Rgb kSurface = Hex(0x232933);
const Rgb kSurfaceHover = Hex(0x2B3240);
const Rgb kBorder = Hex(0x343B47);
const Rgb kAccent = Hex(0x10A8FD);
const Rgb kAccentDark = Hex(0x0B7FC2);
const Rgb kDisabled = Hex(0x1D2128);
const Rgb kText = Hex(0xE8ECF0);
const Rgb kMuted = Hex(0x6A717C);

void Set(cairo_t* cr, Rgb c, double a = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min({r, w / 2, h / 2});
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

bool g_failed = false;

void Save(const fs::path& root, const std::string& name, int w, int h, const Painter& paint) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(s);
  paint(cr, w, h);
  cairo_destroy(cr);
  const fs::path path = root / name;
  fs::create_directories(path.parent_path());
  if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "skingen: cannot write %s\n", path.c_str());
    g_failed = true;
  }
  cairo_surface_destroy(s);
}

// A strip of `frames` looks, each `fw` x `fh`, drawn by `look(cr, w, h, state)`.
void Strip(const fs::path& root, const std::string& name, int frames, int fw, int fh,
           const std::function<void(cairo_t*, double, double, int)>& look) {
  Save(root, name, fw * frames, fh, [&](cairo_t* cr, double, double) {
    for (int i = 0; i < frames; ++i) {
      cairo_save(cr);
      cairo_translate(cr, i * fw, 0);
      cairo_rectangle(cr, 0, 0, fw, fh);
      cairo_clip(cr);
      look(cr, fw, fh, i);
      cairo_restore(cr);
    }
  });
}

// The plate of a button in one of the four states.
void Plate(cairo_t* cr, double w, double h, int state, double radius) {
  const Rgb fill[] = {kSurface, kSurfaceHover, kAccentDark, kDisabled};
  const Rgb edge[] = {kBorder, kAccent, kAccent, Hex(0x2A2F38)};
  RoundRect(cr, 1, 1, w - 2, h - 2, radius);
  Set(cr, fill[state % 4]);
  cairo_fill_preserve(cr);
  Set(cr, edge[state % 4]);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
}

Rgb GlyphColor(int state) { return state % 4 == 3 ? kMuted : state % 4 == 0 ? kText : Hex(0xFFFFFF); }

// ---- glyphs, drawn in a unit box of size s centred at (cx, cy) ----

using Glyph = std::function<void(cairo_t*, double cx, double cy, double s)>;

void Stroke(cairo_t* cr, double width) {
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

const Glyph kPlus = [](cairo_t* cr, double x, double y, double s) {
  cairo_move_to(cr, x - s / 2, y);
  cairo_line_to(cr, x + s / 2, y);
  cairo_move_to(cr, x, y - s / 2);
  cairo_line_to(cr, x, y + s / 2);
  Stroke(cr, s / 7);
};
const Glyph kMinus = [](cairo_t* cr, double x, double y, double s) {
  cairo_move_to(cr, x - s / 2, y);
  cairo_line_to(cr, x + s / 2, y);
  Stroke(cr, s / 7);
};
const Glyph kCross = [](cairo_t* cr, double x, double y, double s) {
  cairo_move_to(cr, x - s / 2, y - s / 2);
  cairo_line_to(cr, x + s / 2, y + s / 2);
  cairo_move_to(cr, x + s / 2, y - s / 2);
  cairo_line_to(cr, x - s / 2, y + s / 2);
  Stroke(cr, s / 8);
};
const Glyph kTrash = [](cairo_t* cr, double x, double y, double s) {
  cairo_move_to(cr, x - s / 2, y - s / 3);
  cairo_line_to(cr, x + s / 2, y - s / 3);
  cairo_move_to(cr, x - s / 6, y - s / 2);
  cairo_line_to(cr, x + s / 6, y - s / 2);
  cairo_move_to(cr, x - s / 3, y - s / 3);
  cairo_line_to(cr, x - s / 4, y + s / 2);
  cairo_line_to(cr, x + s / 4, y + s / 2);
  cairo_line_to(cr, x + s / 3, y - s / 3);
  Stroke(cr, s / 9);
};
const Glyph kPencil = [](cairo_t* cr, double x, double y, double s) {
  cairo_move_to(cr, x - s / 2, y + s / 2);
  cairo_line_to(cr, x - s / 2 + s / 5, y + s / 2 - s / 20);
  cairo_line_to(cr, x + s / 2, y - s / 3);
  cairo_line_to(cr, x + s / 3, y - s / 2);
  cairo_line_to(cr, x - s / 2 + s / 20, y + s / 2 - s / 5);
  cairo_close_path(cr);
  Stroke(cr, s / 10);
};
Glyph Arrow(double angle) {
  return [angle](cairo_t* cr, double x, double y, double s) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_move_to(cr, -s / 2, 0);
    cairo_line_to(cr, s / 2, 0);
    cairo_move_to(cr, s / 6, -s / 3);
    cairo_line_to(cr, s / 2, 0);
    cairo_line_to(cr, s / 6, s / 3);
    cairo_restore(cr);
    Stroke(cr, s / 8);
  };
}
Glyph Chevron(double angle) {
  return [angle](cairo_t* cr, double x, double y, double s) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_move_to(cr, -s / 4, -s / 2);
    cairo_line_to(cr, s / 4, 0);
    cairo_line_to(cr, -s / 4, s / 2);
    cairo_restore(cr);
    Stroke(cr, s / 7);
  };
}
const Glyph kTray = [](cairo_t* cr, double x, double y, double s) {  // import/export base
  cairo_move_to(cr, x - s / 2, y + s / 6);
  cairo_line_to(cr, x - s / 2, y + s / 2);
  cairo_line_to(cr, x + s / 2, y + s / 2);
  cairo_line_to(cr, x + s / 2, y + s / 6);
  Stroke(cr, s / 9);
};
const Glyph kGlobe = [](cairo_t* cr, double x, double y, double s) {
  cairo_arc(cr, x, y, s / 2, 0, 2 * kPi);
  cairo_move_to(cr, x - s / 2, y);
  cairo_line_to(cr, x + s / 2, y);
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, 0.45, 1);
  cairo_arc(cr, 0, 0, s / 2, 0, 2 * kPi);
  cairo_restore(cr);
  Stroke(cr, s / 12);
};
const Glyph kDot = [](cairo_t* cr, double x, double y, double s) {
  cairo_arc(cr, x, y, s / 2, 0, 2 * kPi);
  cairo_fill(cr);
};
const Glyph kRing = [](cairo_t* cr, double x, double y, double s) {
  cairo_arc(cr, x, y, s / 2, 0, 2 * kPi);
  Stroke(cr, s / 8);
};
const Glyph kClock = [](cairo_t* cr, double x, double y, double s) {
  cairo_arc(cr, x, y, s / 2, 0, 2 * kPi);
  cairo_move_to(cr, x, y - s / 3);
  cairo_line_to(cr, x, y);
  cairo_line_to(cr, x + s / 4, y + s / 6);
  Stroke(cr, s / 10);
};
const Glyph kKeyboard = [](cairo_t* cr, double x, double y, double s) {
  RoundRect(cr, x - s / 2, y - s / 3, s, s * 2 / 3, s / 10);
  Stroke(cr, s / 12);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c) {
      cairo_rectangle(cr, x - s / 2 + s / 8 + c * s / 4.6, y - s / 5 + r * s / 5, s / 9, s / 10);
      cairo_fill(cr);
    }
  cairo_rectangle(cr, x - s / 4, y + s / 6, s / 2, s / 12);
  cairo_fill(cr);
};
const Glyph kMacro = [](cairo_t* cr, double x, double y, double s) {  // a play mark in a ring
  cairo_arc(cr, x, y, s / 2, 0, 2 * kPi);
  Stroke(cr, s / 12);
  cairo_move_to(cr, x - s / 8, y - s / 5);
  cairo_line_to(cr, x + s / 5, y);
  cairo_line_to(cr, x - s / 8, y + s / 5);
  cairo_close_path(cr);
  cairo_fill(cr);
};
const Glyph kBulb = [](cairo_t* cr, double x, double y, double s) {
  cairo_arc(cr, x, y - s / 10, s / 3, 0, 2 * kPi);
  Stroke(cr, s / 12);
  for (int i = 0; i < 8; ++i) {
    const double a = i * kPi / 4;
    cairo_move_to(cr, x + std::cos(a) * s * 0.42, y - s / 10 + std::sin(a) * s * 0.42);
    cairo_line_to(cr, x + std::cos(a) * s * 0.52, y - s / 10 + std::sin(a) * s * 0.52);
  }
  Stroke(cr, s / 14);
};
const Glyph kGear = [](cairo_t* cr, double x, double y, double s) {
  for (int i = 0; i < 8; ++i) {
    const double a = i * kPi / 4;
    cairo_move_to(cr, x + std::cos(a) * s * 0.3, y + std::sin(a) * s * 0.3);
    cairo_line_to(cr, x + std::cos(a) * s * 0.5, y + std::sin(a) * s * 0.5);
  }
  Stroke(cr, s / 7);
  cairo_arc(cr, x, y, s * 0.3, 0, 2 * kPi);
  Stroke(cr, s / 10);
};
const Glyph kHome = [](cairo_t* cr, double x, double y, double s) {
  cairo_move_to(cr, x - s / 2, y);
  cairo_line_to(cr, x, y - s / 2);
  cairo_line_to(cr, x + s / 2, y);
  cairo_move_to(cr, x - s / 3, y - s / 8);
  cairo_line_to(cr, x - s / 3, y + s / 2);
  cairo_line_to(cr, x + s / 3, y + s / 2);
  cairo_line_to(cr, x + s / 3, y - s / 8);
  Stroke(cr, s / 10);
};
const Glyph kUsb = [](cairo_t* cr, double x, double y, double s) {
  cairo_move_to(cr, x, y + s / 2);
  cairo_line_to(cr, x, y - s / 2);
  cairo_move_to(cr, x - s / 6, y - s / 3);
  cairo_line_to(cr, x, y - s / 2);
  cairo_line_to(cr, x + s / 6, y - s / 3);
  cairo_move_to(cr, x, y + s / 6);
  cairo_line_to(cr, x - s / 3, y - s / 10);
  cairo_move_to(cr, x, y);
  cairo_line_to(cr, x + s / 3, y - s / 5);
  Stroke(cr, s / 10);
};
const Glyph kWireless = [](cairo_t* cr, double x, double y, double s) {
  for (int i = 1; i <= 3; ++i) {
    cairo_arc(cr, x, y + s / 3, i * s / 6, -kPi * 3 / 4, -kPi / 4);
    Stroke(cr, s / 12);
  }
  cairo_arc(cr, x, y + s / 3, s / 14, 0, 2 * kPi);
  cairo_fill(cr);
};
Glyph Bars(int n) {  // media-like glyphs: n vertical bars
  return [n](cairo_t* cr, double x, double y, double s) {
    for (int i = 0; i < n; ++i) {
      const double bx = x - s / 2 + (i + 0.5) * s / n;
      const double bh = s * (0.4 + 0.6 * ((i * 37) % 5) / 4.0);
      cairo_move_to(cr, bx, y + s / 2);
      cairo_line_to(cr, bx, y + s / 2 - bh);
    }
    Stroke(cr, s / (2.5 * n));
  };
}

// A glyph centred on a button plate of 4 states.
void GlyphButton(const fs::path& root, const std::string& name, int fw, int fh, const Glyph& glyph, double glyphSize, bool plate = true,
                 bool danger = false) {
  Strip(root, name, 4, fw, fh, [&](cairo_t* cr, double w, double h, int state) {
    if (plate) Plate(cr, w, h, state, std::min(w, h) / 5);
    else if (state == 1 || state == 2) {
      RoundRect(cr, 1, 1, w - 2, h - 2, 4);
      Set(cr, danger ? Hex(0xD8413A) : kSurfaceHover, state == 2 ? 1.0 : 0.9);
      cairo_fill(cr);
    }
    Set(cr, GlyphColor(state));
    glyph(cr, w / 2, h / 2, glyphSize);
  });
}

// A single-look icon (page and tab icons have 3 looks: normal, hover, selected).
void Icon(const fs::path& root, const std::string& name, int size, int frames, const Glyph& glyph) {
  Strip(root, name, frames, size, size, [&](cairo_t* cr, double w, double h, int state) {
    const Rgb color = frames == 1 ? kAccent : state == 0 ? kMuted : state == 1 ? kText : kAccent;
    Set(cr, color);
    glyph(cr, w / 2, h / 2, w * 0.6);
  });
}

void CheckLook(cairo_t* cr, double w, double h, int state, bool round) {
  const bool checked = state >= 4;
  const double s = std::min(w, h) - 4;
  const double x = 2, y = (h - s) / 2;
  if (round) cairo_arc(cr, x + s / 2, y + s / 2, s / 2, 0, 2 * kPi);
  else RoundRect(cr, x, y, s, s, 3);
  Set(cr, state % 4 == 3 ? kDisabled : checked ? kAccent : kSurface);
  cairo_fill_preserve(cr);
  Set(cr, state % 4 == 3 ? Hex(0x2A2F38) : (state % 4 == 0 && !checked) ? kBorder : kAccent);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  if (!checked) return;
  Set(cr, Hex(0xFFFFFF));
  if (round) {
    cairo_arc(cr, x + s / 2, y + s / 2, s / 5, 0, 2 * kPi);
    cairo_fill(cr);
  } else {
    cairo_move_to(cr, x + s * 0.25, y + s * 0.52);
    cairo_line_to(cr, x + s * 0.43, y + s * 0.7);
    cairo_line_to(cr, x + s * 0.76, y + s * 0.3);
    Stroke(cr, 2);
  }
}

void Rainbow(cairo_t* cr, double x, double y, double w, double h, unsigned seed) {
  cairo_pattern_t* p = cairo_pattern_create_linear(x, y, x + w, y + h);
  const unsigned colors[] = {0xFF3B30, 0xFF9500, 0xFFCC00, 0x34C759, 0x10A8FD, 0x5856D6, 0xAF52DE};
  for (int i = 0; i < 7; ++i) {
    const Rgb c = Hex(colors[(i + seed) % 7]);
    cairo_pattern_add_color_stop_rgb(p, i / 6.0, c.r, c.g, c.b);
  }
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

// ---- the loading animation: 12 frames of a turning arc, written as a GIF ----

bool WriteLoadingGif(const fs::path& path, int size) {
  constexpr int kFrames = 12;
  // Palette: 0 transparent, 1 the panel, then 30 steps from the panel to the accent.
  GifColorType colors[32] = {};
  colors[1] = {0x1C, 0x20, 0x27};
  for (int i = 2; i < 32; ++i) {
    const double t = (i - 2) / 29.0;
    colors[i] = {static_cast<GifByteType>(0x1C + t * (0x10 - 0x1C)), static_cast<GifByteType>(0x20 + t * (0xA8 - 0x20)),
                 static_cast<GifByteType>(0x27 + t * (0xFD - 0x27))};
  }
  fs::create_directories(path.parent_path());
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  ColorMapObject* map = GifMakeMapObject(32, colors);
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, size, size, 8, 0, map) == GIF_OK;
  // Loop forever (NETSCAPE2.0 application extension).
  const GifByteType loop[] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
       EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK && EGifPutExtensionBlock(gif, 3, loop) == GIF_OK &&
       EGifPutExtensionTrailer(gif) == GIF_OK;
  std::vector<GifPixelType> pixels(static_cast<size_t>(size) * size);
  for (int f = 0; f < kFrames && ok; ++f) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    const double c = size / 2.0;
    for (int seg = 0; seg < 12; ++seg) {
      const double a = (seg + f) * 2 * kPi / 12;
      const double shade = (seg + 1) / 12.0;  // brightness index along the tail
      cairo_set_source_rgba(cr, shade, 0, 0, 1);
      cairo_move_to(cr, c + std::cos(a) * size * 0.22, c + std::sin(a) * size * 0.22);
      cairo_line_to(cr, c + std::cos(a) * size * 0.38, c + std::sin(a) * size * 0.38);
      cairo_set_line_width(cr, size / 14.0);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_stroke(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(s);
    const auto* px = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s));
    const int stride = cairo_image_surface_get_stride(s) / 4;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const uint32_t p = px[y * stride + x];
        // Red carries the shade; no coverage shows the panel behind the spinner.
        pixels[static_cast<size_t>(y) * size + x] = (p >> 24) ? static_cast<GifPixelType>(2 + ((p >> 16) & 0xFF) * 29 / 255) : 1;
      }
    cairo_surface_destroy(s);
    GraphicsControlBlock gcb{DISPOSE_BACKGROUND, false, 8, 1};  // the panel index shows what lies behind
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext) == GIF_OK &&
         EGifPutImageDesc(gif, 0, 0, size, size, false, nullptr) == GIF_OK;
    for (int y = 0; y < size && ok; ++y) ok = EGifPutLine(gif, pixels.data() + static_cast<size_t>(y) * size, size) == GIF_OK;
  }
  ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
  GifFreeMapObject(map);
  return ok;
}

// ---- the keyboard picture from a layout ----

// Key labels are never cut off. A label too wide for its key at its size is broken into two
// lines at the space that makes the longer line shortest ("Num Lock" -> "Num" / "Lock"), and
// whatever is still too wide is drawn smaller, half a pixel at a time down to kMinLabelSize.
// A label that does not fit even then fails the run rather than ship a clipped picture.
constexpr double kMinLabelSize = 7;

struct LabelFit {
  double size = 0;
  std::vector<std::string> lines;
};

double InkWidth(cairo_t* cr, const std::string& text, double size) {
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e{};
  cairo_text_extents(cr, text.c_str(), &e);
  return e.x_bearing + e.width;
}

double WidestLine(cairo_t* cr, const std::vector<std::string>& lines, double size) {
  double widest = 0;
  for (const std::string& line : lines) widest = std::max(widest, InkWidth(cr, line, size));
  return widest;
}

// False when the label does not fit `maxWidth` even at the smallest size (the fit then holds
// that smallest size).
bool FitLabel(cairo_t* cr, const std::string& label, double baseSize, double maxWidth, LabelFit& fit) {
  fit = {baseSize, {label}};
  if (InkWidth(cr, label, baseSize) <= maxWidth) return true;
  for (size_t space = label.find(' '); space != std::string::npos; space = label.find(' ', space + 1)) {
    const std::vector<std::string> lines = {label.substr(0, space), label.substr(space + 1)};
    if (fit.lines.size() == 1 || WidestLine(cr, lines, baseSize) < WidestLine(cr, fit.lines, baseSize)) fit.lines = lines;
  }
  while (WidestLine(cr, fit.lines, fit.size) > maxWidth) {
    if (fit.size - 0.5 < kMinLabelSize) return false;
    fit.size -= 0.5;
  }
  return true;
}

void KeyboardPicture(const fs::path& root, const kl::KeyboardLayout& layout) {
  if (!layout.hasPicture || layout.pictureWidth <= 0 || layout.pictureHeight <= 0) return;
  std::string name = kl::WideToUtf8(layout.pictureImage);
  if (name.empty()) return;
  Save(root, name, layout.pictureWidth, layout.pictureHeight, [&](cairo_t* cr, double w, double h) {
    // The case: a dark plate with a soft top light and the accent strip along the front.
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 14);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.16, 0.18, 0.22);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.09, 0.10, 0.12);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    Set(cr, kBorder);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    Set(cr, kAccent, 0.8);
    cairo_rectangle(cr, 24, h - 5, w - 48, 2);
    cairo_fill(cr);
    cairo_select_font_face(cr, "Noto Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    for (const kl::KeyItem& key : layout.keys) {
      const kl::CRect& r = key.rect;
      if (r.IsRectEmpty()) continue;
      // Key cap: a darker skirt and a lighter top face.
      RoundRect(cr, r.left + 1, r.top + 1, r.Width() - 2, r.Height() - 2, 6);
      Set(cr, Hex(0x0E1014));
      cairo_fill(cr);
      RoundRect(cr, r.left + 4, r.top + 3, r.Width() - 8, r.Height() - 9, 5);
      cairo_pattern_t* cap = cairo_pattern_create_linear(0, r.top, 0, r.bottom);
      cairo_pattern_add_color_stop_rgb(cap, 0, 0.20, 0.22, 0.27);
      cairo_pattern_add_color_stop_rgb(cap, 1, 0.15, 0.17, 0.21);
      cairo_set_source(cr, cap);
      cairo_fill(cr);
      cairo_pattern_destroy(cap);
      const std::string label = kl::WideToUtf8(key.name);
      if (label.empty()) continue;
      // The label sits on the top face, from 9 pixels in to 7 before the right edge.
      LabelFit fit;
      if (!FitLabel(cr, label, label.size() > 3 ? 10 : 12, r.Width() - 16, fit)) {
        std::fprintf(stderr, "skingen: the label \"%s\" does not fit its %d-pixel key\n", label.c_str(), r.Width());
        g_failed = true;
      }
      Set(cr, Hex(0xC9D1DA));
      cairo_set_font_size(cr, fit.size);
      const double firstBaseline = fit.lines.size() == 1 ? r.top + 20 : r.top + 16;
      for (size_t i = 0; i < fit.lines.size(); ++i) {
        cairo_move_to(cr, r.left + 9, firstBaseline + static_cast<double>(i) * (fit.size + 2));
        cairo_show_text(cr, fit.lines[i].c_str());
      }
    }
  });
}

void DrawAll(const fs::path& root, const fs::path& layouts) {
  // Backgrounds and frames.
  Save(root, "main_bkg.png", 1280, 720, [](cairo_t* cr, double w, double h) {
    cairo_pattern_t* p = cairo_pattern_create_radial(w * 0.5, h * 0.35, 40, w * 0.5, h * 0.5, w * 0.75);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.11, 0.13, 0.16);
    cairo_pattern_add_color_stop_rgb(p, 1, kBack.r, kBack.g, kBack.b);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    Set(cr, kBorder);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    cairo_stroke(cr);
  });
  Save(root, "pic_caption.png", 1280, 60, [](cairo_t* cr, double w, double h) {
    Set(cr, kPanel);
    cairo_paint(cr);
    Set(cr, kAccent);
    cairo_rectangle(cr, 0, h - 2, w, 2);
    cairo_fill(cr);
  });
  auto frame = [](double radius, Rgb fill, Rgb edge) {
    return [=](cairo_t* cr, double w, double h) {
      RoundRect(cr, 1, 1, w - 2, h - 2, radius);
      Set(cr, fill);
      cairo_fill_preserve(cr);
      Set(cr, edge);
      cairo_set_line_width(cr, 1.5);
      cairo_stroke(cr);
    };
  };
  Save(root, "bk_prompt.png", 90, 90, frame(10, kPanel, kBorder));
  Save(root, "img_tip_bk.png", 24, 24, frame(6, Hex(0x232831), kAccent));
  Save(root, "img_tip_arrow_left.png", 9, 16, [](cairo_t* cr, double w, double h) {
    cairo_move_to(cr, w, 0);
    cairo_line_to(cr, 0, h / 2);
    cairo_line_to(cr, w, h);
    Set(cr, kAccent);
    cairo_fill(cr);
  });
  Save(root, "img_tip_arrow_right.png", 9, 16, [](cairo_t* cr, double w, double h) {
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, w, h / 2);
    cairo_line_to(cr, 0, h);
    Set(cr, kAccent);
    cairo_fill(cr);
  });
  Save(root, "img_tip_arrow_top.png", 16, 9, [](cairo_t* cr, double w, double h) {
    cairo_move_to(cr, 0, h);
    cairo_line_to(cr, w / 2, 0);
    cairo_line_to(cr, w, h);
    Set(cr, kAccent);
    cairo_fill(cr);
  });
  Save(root, "logo/logo.png", 129, 50, [](cairo_t* cr, double, double h) {
    Set(cr, kAccent);
    RoundRect(cr, 2, h / 2 - 15, 30, 30, 7);
    cairo_fill(cr);
    Set(cr, kBack);
    kKeyboard(cr, 17, h / 2, 20);
    // The word mark.
    cairo_select_font_face(cr, "Noto Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 17);
    Set(cr, kText);
    cairo_move_to(cr, 40, h / 2 + 6);
    cairo_show_text(cr, "KEYLOFT");
  });
  Save(root, "logo/logo_loading.png", 1200, 100, [](cairo_t* cr, double, double h) {  // 12 frames of 100 x 100
    for (int f = 0; f < 12; ++f) {
      cairo_save(cr);
      cairo_translate(cr, f * 100 + 50, h / 2);
      for (int seg = 0; seg < 12; ++seg) {
        const double a = (seg + f) * 2 * kPi / 12;
        Set(cr, kAccent, (seg + 1) / 12.0);
        cairo_move_to(cr, std::cos(a) * 22, std::sin(a) * 22);
        cairo_line_to(cr, std::cos(a) * 38, std::sin(a) * 38);
        Stroke(cr, 7);
      }
      cairo_restore(cr);
    }
  });

  // Buttons.
  Strip(root, "btn_apply.png", 4, 120, 38, [](cairo_t* cr, double w, double h, int s) { Plate(cr, w, h, s, 8); });
  Strip(root, "img_btn_layer_p.png", 4, 90, 34, [](cairo_t* cr, double w, double h, int s) {
    RoundRect(cr, 1, 1, w - 2, h - 2, 8);
    Set(cr, s == 3 ? kDisabled : s == 2 ? kAccentDark : kAccent);
    cairo_fill(cr);
  });
  Strip(root, "img_btn_layer_n.png", 4, 90, 34, [](cairo_t* cr, double w, double h, int s) { Plate(cr, w, h, s, 8); });
  Strip(root, "btn_checkbox.png", 8, 20, 20, [](cairo_t* cr, double w, double h, int s) { CheckLook(cr, w, h, s, false); });
  Strip(root, "btn_radiobox.png", 8, 20, 20, [](cairo_t* cr, double w, double h, int s) { CheckLook(cr, w, h, s, true); });
  const std::pair<const char*, double> directions[] = {
      {"btn_direction_left.png", kPi}, {"btn_direction_right.png", 0}, {"btn_direction_top.png", -kPi / 2}, {"btn_direction_bottom.png", kPi / 2}};
  for (const auto& [name, angle] : directions)
    Strip(root, name, 8, 40, 40, [angle = angle](cairo_t* cr, double w, double h, int s) {
      Plate(cr, w, h, s >= 4 ? 2 : s % 4, 8);
      Set(cr, GlyphColor(s >= 4 ? 1 : s));
      Arrow(angle)(cr, w / 2, h / 2, 18);
    });
  GlyphButton(root, "main_sysbtn_close.png", 30, 30, kCross, 11, false, true);
  GlyphButton(root, "main_sysbtn_min.png", 30, 30, kMinus, 12, false);
  GlyphButton(root, "main_sysbtn_website.png", 30, 30, kGlobe, 15, false);
  GlyphButton(root, "imgbtn_add.png", 32, 32, kPlus, 14);
  GlyphButton(root, "imgbtn_del.png", 32, 32, kTrash, 15);
  GlyphButton(root, "imgbtn_edit.png", 32, 32, kPencil, 14);
  GlyphButton(root, "imgbtn_import.png", 32, 32, [](cairo_t* cr, double x, double y, double s) {
    kTray(cr, x, y, s);
    Arrow(kPi / 2)(cr, x, y - s / 6, s * 0.7);
  }, 16);
  GlyphButton(root, "imgbtn_export.png", 32, 32, [](cairo_t* cr, double x, double y, double s) {
    kTray(cr, x, y, s);
    Arrow(-kPi / 2)(cr, x, y - s / 6, s * 0.7);
  }, 16);
  GlyphButton(root, "btn_record_time.png", 32, 32, kClock, 16);
  GlyphButton(root, "btn_record_up.png", 32, 32, Chevron(-kPi / 2), 14);
  GlyphButton(root, "btn_record_down.png", 32, 32, Chevron(kPi / 2), 14);
  GlyphButton(root, "btn_record_del.png", 32, 32, kTrash, 15);
  GlyphButton(root, "img_spin_up.png", 18, 14, Chevron(-kPi / 2), 8, false);
  GlyphButton(root, "img_spin_down.png", 18, 14, Chevron(kPi / 2), 8, false);
  Strip(root, "btn_colorful.png", 4, 36, 36, [](cairo_t* cr, double w, double h, int s) {
    Plate(cr, w, h, s, 8);
    RoundRect(cr, 6, 6, w - 12, h - 12, 5);
    Rainbow(cr, 6, 6, w - 12, h - 12, 0);
    cairo_fill(cr);
  });
  for (unsigned i = 1; i <= 8; ++i)
    Strip(root, "btn_colorful" + std::to_string(i) + ".png", 4, 36, 36, [i](cairo_t* cr, double w, double h, int s) {
      Plate(cr, w, h, s, 8);
      RoundRect(cr, 6, 6, w - 12, h - 12, 5);
      Rainbow(cr, 6, 6, (w - 12) * (0.4 + i * 0.15), h - 12, i);
      cairo_fill(cr);
    });

  // Fields, lists, sliders, scroll bars.
  Strip(root, "img_combobox.png", 4, 200, 38, [](cairo_t* cr, double w, double h, int s) {
    Plate(cr, w, h, s, 6);
    Set(cr, GlyphColor(s));
    Chevron(kPi / 2)(cr, w - 18, h / 2, 10);
  });
  Strip(root, "img_edit.png", 4, 120, 32, [](cairo_t* cr, double w, double h, int s) {
    RoundRect(cr, 1, 1, w - 2, h - 2, 5);
    Set(cr, s == 3 ? kDisabled : kBack);
    cairo_fill_preserve(cr);
    Set(cr, s == 0 ? kBorder : s == 3 ? Hex(0x2A2F38) : kAccent);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  });
  Strip(root, "img_customkey.png", 4, 60, 40, [](cairo_t* cr, double w, double h, int s) { Plate(cr, w, h, s, 6); });
  Strip(root, "img_device_state.png", 2, 240, 46, [](cairo_t* cr, double w, double h, int s) {
    RoundRect(cr, 1, 1, w - 2, h - 2, 8);
    Set(cr, s ? Hex(0x1A2A38) : kSurface);
    cairo_fill_preserve(cr);
    Set(cr, s ? kAccent : kBorder);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  });
  Save(root, "img_slider_back.png", 300, 12, [](cairo_t* cr, double w, double h) {  // upper row filled, lower row empty
    RoundRect(cr, 0, 1, w, h / 2 - 2, 2);
    Set(cr, kAccent);
    cairo_fill(cr);
    RoundRect(cr, 0, h / 2 + 1, w, h / 2 - 2, 2);
    Set(cr, kBorder);
    cairo_fill(cr);
  });
  Strip(root, "img_thumb.png", 4, 36, 36, [](cairo_t* cr, double w, double h, int s) {
    cairo_arc(cr, w / 2, h / 2, 9 + (s == 1 ? 1 : 0), 0, 2 * kPi);
    Set(cr, s == 3 ? kMuted : Hex(0xFFFFFF));
    cairo_fill_preserve(cr);
    Set(cr, s == 3 ? kBorder : kAccent);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
  });
  Save(root, "img_palette_thumb.png", 16, 16, [](cairo_t* cr, double w, double h) {
    cairo_arc(cr, w / 2, h / 2, 6, 0, 2 * kPi);
    Set(cr, Hex(0xFFFFFF));
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
  });
  Save(root, "img_circlepalette.png", 200, 200, [](cairo_t* cr, double w, double h) {
    // A hue wheel fading to white in the middle, in 360 wedges.
    for (int i = 0; i < 360; ++i) {
      const double a0 = i * kPi / 180, a1 = (i + 1.5) * kPi / 180;
      const double hue = i / 60.0;
      const double x = 1 - std::fabs(std::fmod(hue, 2) - 1);
      const double rgb[6][3] = {{1, x, 0}, {x, 1, 0}, {0, 1, x}, {0, x, 1}, {x, 0, 1}, {1, 0, x}};
      const auto& c = rgb[static_cast<int>(hue) % 6];
      cairo_pattern_t* p = cairo_pattern_create_radial(w / 2, h / 2, 0, w / 2, h / 2, w / 2);
      cairo_pattern_add_color_stop_rgb(p, 0, 1, 1, 1);
      cairo_pattern_add_color_stop_rgb(p, 1, c[0], c[1], c[2]);
      cairo_set_source(cr, p);
      cairo_move_to(cr, w / 2, h / 2);
      cairo_arc(cr, w / 2, h / 2, w / 2 - 1, a0, a1);
      cairo_close_path(cr);
      cairo_fill(cr);
      cairo_pattern_destroy(p);
    }
  });
  // Scroll bars: the vertical strip holds four 7-pixel looks side by side (track, thumb, hover, pressed),
  // the horizontal one four 5-pixel rows.
  auto scrollV = [](cairo_t* cr, double, double h) {
    const Rgb looks[] = {kPanel, kBorder, Hex(0x4A5260), kAccent};
    for (int i = 0; i < 4; ++i) {
      RoundRect(cr, i * 7 + 1, 0, 5, h, 2.5);
      Set(cr, looks[i]);
      cairo_fill(cr);
    }
  };
  auto scrollH = [](cairo_t* cr, double w, double) {
    const Rgb looks[] = {kPanel, kBorder, Hex(0x4A5260), kAccent};
    for (int i = 0; i < 4; ++i) {
      RoundRect(cr, 0, i * 5 + 1, w, 3, 1.5);
      Set(cr, looks[i]);
      cairo_fill(cr);
    }
  };
  Save(root, "img_scroll_v.png", 28, 239, scrollV);
  Save(root, "img_scroll_h.png", 22, 20, scrollH);
  Save(root, "resources/102.png", 28, 239, scrollV);
  Save(root, "resources/101.png", 22, 20, scrollH);

  // Icons.
  Icon(root, "icon/icon_keyboard.png", 28, 1, kKeyboard);
  Icon(root, "icon/icon_macro.png", 28, 1, kMacro);
  Icon(root, "icon/icon_lightmode.png", 28, 1, kBulb);
  Icon(root, "icon/icon_config.png", 28, 1, kGear);
  Icon(root, "icon/tab_home.png", 32, 3, kHome);
  Icon(root, "icon/tab_customkey.png", 32, 3, kKeyboard);
  Icon(root, "icon/tab_macro.png", 32, 3, kMacro);
  Icon(root, "icon/tab_light.png", 32, 3, kBulb);
  Icon(root, "icon/tab_config.png", 32, 3, kGear);
  Icon(root, "icon/mode_usb.png", 24, 1, kUsb);
  Icon(root, "icon/mode_24g.png", 24, 1, kWireless);
  Strip(root, "icon/icon_circle.png", 2, 12, 12, [](cairo_t* cr, double w, double h, int s) {
    Set(cr, s ? kAccent : kMuted);
    (s ? kDot : kRing)(cr, w / 2, h / 2, 7);
  });
  Save(root, "icon/icon_battery_bkg.png", 30, 16, [](cairo_t* cr, double w, double h) {
    RoundRect(cr, 1, 1, w - 5, h - 2, 3);
    Set(cr, kMuted);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    cairo_rectangle(cr, w - 4, h / 2 - 3, 3, 6);
    cairo_fill(cr);
  });
  Save(root, "icon/icon_batteryvalue.png", 22, 10, [](cairo_t* cr, double, double) {
    Set(cr, Hex(0x34C759));
    cairo_paint(cr);
  });
  Save(root, "icon/icon_charge.png", 12, 16, [](cairo_t* cr, double w, double h) {
    cairo_move_to(cr, w * 0.6, 0);
    cairo_line_to(cr, 0, h * 0.55);
    cairo_line_to(cr, w * 0.45, h * 0.55);
    cairo_line_to(cr, w * 0.35, h);
    cairo_line_to(cr, w, h * 0.4);
    cairo_line_to(cr, w * 0.55, h * 0.4);
    cairo_close_path(cr);
    Set(cr, Hex(0xFFCC00));
    cairo_fill(cr);
  });
  const std::pair<const char*, Glyph> media[] = {
      {"icon/icon_pc.png", kKeyboard},        {"icon/icon_cal.png", kClock},         {"icon/icon_email.png", kTray},
      {"icon/icon_multimedia.png", kMacro},   {"icon/icon_playpause.png", kMacro},   {"icon/icon_stop.png", kDot},
      {"icon/icon_pre.png", Chevron(kPi)},    {"icon/icon_next.png", Chevron(0)},    {"icon/icon_vol_down.png", Bars(2)},
      {"icon/icon_vol_up.png", Bars(4)},      {"icon/icon_vol_mute.png", kCross},    {"icon/icon_home.png", kHome},
      {"icon/icon_web_refresh.png", kRing},   {"icon/icon_web_stop.png", kCross},    {"icon/icon_web_backward.png", Arrow(kPi)},
      {"icon/icon_web_foreward.png", Arrow(0)}, {"icon/icon_favorites.png", kDot},  {"icon/icon_web_search.png", kRing},
  };
  for (const auto& [name, glyph] : media) Icon(root, name, 28, 4, glyph);

  // The loading animation, where both the wait dialog and the loading window look for it.
  if (!WriteLoadingGif(root / "loading.gif", 100) || !WriteLoadingGif(root / "loading" / "loading.gif", 100)) {
    std::fprintf(stderr, "skingen: cannot write the loading animation\n");
    g_failed = true;
  }

  // The program icon (PNG entries inside an ICO, 32 and 256 pixels).
  std::string ico;
  auto put16 = [&](std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  auto put32 = [&](std::string& s, unsigned v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
  };
  std::vector<std::string> entries;
  for (int size : {32, 256}) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(s);
    RoundRect(cr, 0, 0, size, size, size / 5.0);
    Set(cr, kAccent);
    cairo_fill(cr);
    Set(cr, kBack);
    kKeyboard(cr, size / 2.0, size / 2.0, size * 0.6);
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(
        s,
        [](void* closure, const unsigned char* data, unsigned int length) {
          static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
          return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(s);
    entries.push_back(png);
  }
  put16(ico, 0);
  put16(ico, 1);
  put16(ico, static_cast<unsigned>(entries.size()));
  unsigned offset = 6 + 16 * static_cast<unsigned>(entries.size());
  const int sizes[] = {32, 256};
  for (size_t i = 0; i < entries.size(); ++i) {
    ico.push_back(static_cast<char>(sizes[i] == 256 ? 0 : sizes[i]));
    ico.push_back(static_cast<char>(sizes[i] == 256 ? 0 : sizes[i]));
    ico.push_back(0);
    ico.push_back(0);
    put16(ico, 1);
    put16(ico, 32);
    put32(ico, static_cast<unsigned>(entries[i].size()));
    put32(ico, offset);
    offset += static_cast<unsigned>(entries[i].size());
  }
  for (const std::string& e : entries) ico += e;
  if (FILE* f = std::fopen((root / "Keyloft.ico").c_str(), "wb")) {
    g_failed |= std::fwrite(ico.data(), 1, ico.size(), f) != ico.size();
    g_failed |= std::fclose(f) != 0;
  } else {
    g_failed = true;
  }

  // Keyboard pictures of every layout.
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(layouts, ec)) {
    if (entry.path().extension() != ".xml") continue;
    kl::KeyboardLayout layout;
    if (kl::LoadLayoutFile(kl::Utf8ToWide(entry.path().string()), layout)) KeyboardPicture(root, layout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: skingen <output folder> <layouts folder>\n");
    return 2;
  }
  try {
    const fs::path root = fs::path(argv[1]) / "skins" / "theme1";
    fs::create_directories(root);
    DrawAll(root, argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "skingen: %s\n", e.what());
    return 1;
  }
  return g_failed ? 1 : 0;
}
