// MControlFont: a control with a title, a font, a text colour and a state image strip.
//
// The state image is one picture holding the looks of the control side by side as equal frames
// (for buttons: 0 normal, 1 hover, 2 pressed, 3 disabled). It is borrowed from the window's image
// cache; the frame width is the image width divided by the frame count.
#pragma once

#include <string>

#include "velaui/core/MControl.h"

namespace kl::vela {

class Image;

class MControlFont : public MControl {
 public:
  MControlFont(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled, int response);

  virtual void SetTextFont(const std::wstring& face) { m_face = face; }
  virtual void SetTextColor(ARGB color) { m_textColor = color; }
  // Image from the manager's resource table, split into `count` frames. 0 without a manager or image.
  virtual int SetImage(UINT resId, const std::wstring& resType, int count);
  // Image from a skin file name, split into `count` frames (a count below 1 counts as 1).
  virtual int SetImage(const wchar_t* file, int count);
  virtual void SetControlTitle(const wchar_t* title) { m_title = title ? title : L""; }
  virtual std::wstring GetControlTitle() { return m_title; }

  // Stores the title (null = empty) and repaints.
  void SetTitle(const wchar_t* title);
  std::wstring GetTitle() { return GetControlTitle(); }
  void SetAlignment(int h);
  void SetVAlignment(int v);
  void SetAlignment(int h, int v);
  void GetAlignment(int& h, int& v) const {
    h = m_hAlign;
    v = m_vAlign;
  }
  void SetFont(const std::wstring& face, int size, int style) {
    m_face = face;
    m_fontSize = size;
    m_fontStyle = style;
  }
  void SetFontStyle(int style) { m_fontStyle = style; }
  int GetFontStyle() const { return m_fontStyle; }
  const std::wstring& GetTextFont() const { return m_face; }
  const std::wstring& GetImagePath() const { return m_imagePath; }
  CSize GetImageSize() const { return {m_frameWidth, m_imageHeight}; }
  void SetImageCount(int n) { m_frameCount = n < 1 ? 1 : n; }
  int GetImageCount() const { return m_frameCount; }
  void SetFontWidth(int size) { m_fontSize = size; }
  int GetFontWidth() const { return m_fontSize; }
  ARGB GetTextColor() const { return m_textColor; }
  const Image* GetStateImage() const { return m_image; }
  Font GetFont() const { return Font{m_face, m_fontSize, m_fontStyle}; }
  // The text format bits of the two alignments.
  unsigned AlignmentFormat() const { return static_cast<unsigned>(m_hAlign) | static_cast<unsigned>(m_vAlign); }
  // Draws frame `frame` of the state image stretched into `dest`; nothing without an image.
  void DrawStateFrame(Canvas& canvas, const CRect& dest, int frame, uint8_t alpha = 255) const;

 protected:
  std::wstring m_title;
  std::wstring m_face;
  std::wstring m_imagePath;
  int m_fontSize;
  ARGB m_textColor = 0xFFFFFFFF;
  int m_fontStyle = 0;
  int m_hAlign = 0;
  int m_vAlign = 4;
  const Image* m_image = nullptr;
  int m_frameWidth = 0;
  int m_imageHeight = 0;
  int m_frameCount = 4;
};

}  // namespace kl::vela
