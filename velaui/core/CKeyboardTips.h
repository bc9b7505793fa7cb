// CKeyboardTips: the small floating window that names a key and its assignment while the pointer
// rests on it. 190 x 100 pixels, its bottom centre on the anchor point; it never takes the focus.
#pragma once

#include <string>

#include "velaui/core/MPaintedWnd.h"

namespace kl::vela {

class PaintManager;
struct ImgResInfo;

class CKeyboardTips : public MPaintedWnd {
 public:
  static constexpr int kWidth = 190;
  static constexpr int kHeight = 100;

  // Creates the hidden window titled "KeyboardTip Window"; the background comes from `images`.
  bool Create(platform::WindowId owner, PaintManager* images);
  // Stores the strings and the anchor (screen) and repaints; 1 at once when nothing changed,
  // 0 without a window. Null strings are empty strings.
  int SetBalloonMsg(const wchar_t* title, const wchar_t* text, const wchar_t* detail, CPoint anchor);
  const std::wstring& GetTitle() const { return m_title; }

 protected:
  void Paint(Canvas& canvas) override;

 private:
  const ImgResInfo* m_back = nullptr;
  std::wstring m_title;
  std::wstring m_text;
  std::wstring m_detail;
  CPoint m_anchor{-1, -1};
};

}  // namespace kl::vela
