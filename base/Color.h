// Colour values.
//
// COLORREF: red in bits 0-7, green in 8-15, blue in 16-23 (the store, the controls and every
// light command use this form). ARGB: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7
// (the drawing code's form).
#pragma once

#include <cstdint>

namespace kl {

using COLORREF = uint32_t;
using ARGB = uint32_t;

constexpr COLORREF MakeColorRef(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) { return static_cast<uint8_t>(c & 0xFF); }
constexpr uint8_t GetGValue(COLORREF c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(COLORREF c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

constexpr ARGB MakeArgb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return (static_cast<ARGB>(a) << 24) | (static_cast<ARGB>(r) << 16) | (static_cast<ARGB>(g) << 8) | b;
}
constexpr uint8_t ArgbAlpha(ARGB c) { return static_cast<uint8_t>(c >> 24); }
constexpr uint8_t ArgbRed(ARGB c) { return static_cast<uint8_t>(c >> 16); }
constexpr uint8_t ArgbGreen(ARGB c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t ArgbBlue(ARGB c) { return static_cast<uint8_t>(c); }

constexpr ARGB ColorRefToArgb(COLORREF c, uint8_t alpha = 0xFF) {
  return MakeArgb(alpha, GetRValue(c), GetGValue(c), GetBValue(c));
}
constexpr COLORREF ArgbToColorRef(ARGB c) { return MakeColorRef(ArgbRed(c), ArgbGreen(c), ArgbBlue(c)); }

}  // namespace kl
