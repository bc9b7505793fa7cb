// Image: a decoded picture with one or more frames (GIF animations), each frame a premultiplied
// ARGB32 Cairo surface of the image size.
//
// Loading understands PNG, GIF (all frames composed with their disposal methods, so every frame
// is a complete picture) and ICO (the largest entry; PNG or BMP entries of 1, 4, 8, 24 or 32 bits).
// Failures give null; nothing is thrown.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kl::vela {

class Image {
 public:
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // Decodes a file by its content (not its name). Null on any failure.
  static std::unique_ptr<Image> LoadFromFile(const std::wstring& path);
  static std::unique_ptr<Image> LoadFromMemory(std::string_view bytes);
  // Takes ownership of `frames` (all of one size); null when empty or the sizes differ.
  static std::unique_ptr<Image> FromSurfaces(std::vector<cairo_surface_t*> frames, std::vector<int> delaysMs = {});

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  int FrameCount() const { return static_cast<int>(m_frames.size()); }
  // Frame `index` clamped to the existing frames.
  cairo_surface_t* Frame(int index) const;
  int FrameDelayMs(int index) const;

 private:
  Image() = default;
  int m_width = 0;
  int m_height = 0;
  std::vector<cairo_surface_t*> m_frames;
  std::vector<int> m_delays;
};

}  // namespace kl::vela
