// MenuItem: one row of a MenuWnd: plain (click), checkable (toggles; in a group it becomes
// checked), or a separator line.
//
// | state | look                          |
// |-------|-------------------------------|
// | 0     | normal                        |
// | 1     | hover (pointer over it)       |
// | 2     | pressed                       |
// | 6     | checked and hover             |
#pragma once

#include "velaui/core/MControlFont.h"

namespace kl::vela {

class MenuItem : public MControlFont {
 public:
  MenuItem(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled);

  const wchar_t* GetClassNameW() const override { return L"MenuItem"; }
  void DrawControl(Canvas& canvas, CRect clip) override;
  int OnControlMouseMove(UINT flags, CPoint pt) override;
  int OnControlLButtonDown(UINT flags, CPoint pt) override;
  int OnControlLButtonUp(UINT flags, CPoint pt) override;

  void SetCheckable(int checkable) { m_checkable = checkable; }
  void SetCheck(int check);
  int GetCheck() const { return m_check; }
  void SetSeparator(int separator) { m_separator = separator; }
  int IsSeparator() const { return m_separator; }
  void SetGroupName(const std::wstring& group) { m_group = group; }
  const std::wstring& GetGroupName() const { return m_group; }
  void SetTextIndent(int indent) { m_indent = indent; }
  void SetHoverColor(ARGB color) { m_hoverColor = color; }
  void SetHoverImage(const Image* image, int frameWidth, int height);
  int GetState() const { return m_state; }

 private:
  void SetState(int state);

  int m_state = 0;
  int m_check = 0;
  int m_pressed = 0;
  int m_checkable = 0;
  int m_separator = 0;
  int m_indent = 30;
  std::wstring m_group = L"Menu Group";
  ARGB m_hoverColor = 0xFFC95100;
  const Image* m_hoverImage = nullptr;
  int m_hoverFrameWidth = 0;
  int m_hoverHeight = 0;
};

}  // namespace kl::vela
