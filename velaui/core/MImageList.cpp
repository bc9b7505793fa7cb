#include "velaui/core/MImageList.h"

#include <algorithm>

#include "velaui/core/Canvas.h"
#include "velaui/core/Image.h"
#include "velaui/core/Manager.h"

namespace kl::vela {

_M_IMAGELIST MImageList::Load(const std::wstring& path, UINT id, int frames) const {
  _M_IMAGELIST entry;
  entry.id = id;
  entry.frames = std::max(frames, 1);
  entry.path = path;
  entry.image = Image::LoadFromFile(Manager::SkinPath(path));
  if (entry.image) {
    entry.frameWidth = entry.image->Width() / entry.frames;
    entry.height = entry.image->Height();
  }
  return entry;
}

int MImageList::AddImage(const std::wstring& path, UINT id, int frames) {
  m_entries.push_back(Load(path, id, frames));
  return GetImageCount() - 1;
}

int MImageList::InsertImage(int pos, const std::wstring& path, UINT id, int frames) {
  if (path.empty()) return -1;
  if (pos == -1) return AddImage(path, id, frames);
  if (pos < 0 || pos >= GetImageCount()) return -1;
  m_entries.insert(m_entries.begin() + pos, Load(path, id, frames));
  return pos;
}

void MImageList::DrawItemIcon(Canvas& canvas, const CRect& rect, int index, int state) const {
  const _M_IMAGELIST* e = GetItemImageData(index);
  if (!e || !e->image || e->frameWidth <= 0) return;
  const int f = std::clamp(state, 0, e->frames - 1);
  canvas.DrawImage(*e->image, rect, CRect(f * e->frameWidth, 0, (f + 1) * e->frameWidth, e->height));
}

const _M_IMAGELIST* MImageList::GetItemImageData(int index) const {
  return index >= 0 && index < GetImageCount() ? &m_entries[static_cast<size_t>(index)] : nullptr;
}

const _M_IMAGELIST* MImageList::GetImageDataByID(UINT id) const {
  auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const _M_IMAGELIST& e) { return e.id == id; });
  return it == m_entries.end() ? nullptr : &*it;
}

std::wstring MImageList::GetImagePath(int index) const {
  const _M_IMAGELIST* e = GetItemImageData(index);
  return e ? e->path : std::wstring();
}

std::wstring MImageList::GetImagePathByID(UINT id) const {
  const _M_IMAGELIST* e = GetImageDataByID(id);
  return e ? e->path : std::wstring();
}

}  // namespace kl::vela
