// MImageList: the icons of a list control, each a skin image split into frames (one per state).
// Entries whose file cannot be loaded keep a null image and draw nothing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/Geometry.h"
#include "platform/Messages.h"

namespace kl::vela {

class Canvas;
class Image;

struct _M_IMAGELIST {
  std::shared_ptr<Image> image;
  int frameWidth = 0;
  int height = 0;
  UINT id = 0;
  int frames = 1;
  std::wstring path;
};

class MImageList {
 public:
  // Appends; returns the new index.
  int AddImage(const std::wstring& path, UINT id, int frames);
  // Inserts before `pos` (-1 appends) and returns the new entry's index; -1 when `pos` lies
  // outside the list or the path is empty (nothing is inserted then).
  int InsertImage(int pos, const std::wstring& path, UINT id, int frames);
  // Draws frame 0 (or `state`, limited to the last frame) of entry `index` stretched into `rect`.
  void DrawItemIcon(Canvas& canvas, const CRect& rect, int index, int state = 0) const;
  void SetDrawImgSize(CSize size) { m_drawSize = size; }
  CSize GetIconSize() const { return m_drawSize; }
  const _M_IMAGELIST* GetItemImageData(int index) const;
  const _M_IMAGELIST* GetImageDataByID(UINT id) const;
  std::wstring GetImagePath(int index) const;
  std::wstring GetImagePathByID(UINT id) const;
  int GetImageCount() const { return static_cast<int>(m_entries.size()); }
  void DelAllImages() { m_entries.clear(); }

 private:
  _M_IMAGELIST Load(const std::wstring& path, UINT id, int frames) const;
  std::vector<_M_IMAGELIST> m_entries;
  CSize m_drawSize;
};

}  // namespace kl::vela
