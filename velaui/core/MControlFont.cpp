#include "velaui/core/MControlFont.h"

#include <algorithm>

#include "velaui/core/Image.h"
#include "velaui/core/Manager.h"
#include "velaui/core/PaintManager.h"

namespace kl::vela {

MControlFont::MControlFont(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled, int response)
    : MControl(parent, id, rect, visible, enabled, response),
      m_title(title ? title : L""),
      m_face(Manager::GetFontName()),
      m_fontSize(Manager::GetFontWidth()) {}

int MControlFont::SetImage(UINT resId, const std::wstring& resType, int count) {
  if (!m_manager) return 0;
  const ImgResInfo* info = m_manager->AddImgResInfo(resId, resType, count, 0);
  if (!info) return 0;
  m_image = info->image.get();
  m_frameWidth = info->frameWidth;
  m_imageHeight = info->height;
  m_frameCount = info->frames;
  UpdateControl(1, 0);
  return 1;
}

int MControlFont::SetImage(const wchar_t* file, int count) {
  if (!m_manager || !file || !*file) return 0;
  const ImgResInfo* info = m_manager->AddImgResInfo(file, count);
  if (!info) return 0;
  m_imagePath = file;
  m_image = info->image.get();
  m_frameWidth = info->frameWidth;
  m_imageHeight = info->height;
  m_frameCount = info->frames;
  UpdateControl(1, 0);
  return 1;
}

void MControlFont::SetTitle(const wchar_t* title) {
  SetControlTitle(title);
  UpdateControl(1, 0);
}

void MControlFont::SetAlignment(int h) {
  if (h == m_hAlign) return;
  m_hAlign = h;
  UpdateControl(1, 0);
}

void MControlFont::SetVAlignment(int v) {
  if (v == m_vAlign) return;
  m_vAlign = v;
  UpdateControl(1, 0);
}

void MControlFont::SetAlignment(int h, int v) {
  if (h == m_hAlign && v == m_vAlign) return;
  m_hAlign = h;
  m_vAlign = v;
  UpdateControl(1, 0);
}

void MControlFont::DrawStateFrame(Canvas& canvas, const CRect& dest, int frame, uint8_t alpha) const {
  if (!m_image || m_frameWidth <= 0) return;
  const int f = std::clamp(frame, 0, m_frameCount - 1);
  canvas.DrawImage(*m_image, dest, CRect(f * m_frameWidth, 0, (f + 1) * m_frameWidth, m_imageHeight), alpha);
}

}  // namespace kl::vela
