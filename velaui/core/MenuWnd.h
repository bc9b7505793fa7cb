// MenuWnd: a pop-up menu. It grows to fit its widest item, lays its items out top to bottom,
// posts the owner's notify message (wParam = the item's notification wParam, lParam = item ID)
// for every item notification, and closes after a click or when it loses activation. A menu
// made with new deletes itself when its window is gone.
#pragma once

#include <string>

#include "velaui/core/MPopupWnd.h"

namespace kl::vela {

class MenuItem;

class MenuWnd : public MPopupWnd {
 public:
  explicit MenuWnd(MObject* parent);

  // Opens the menu window at `pt` (screen) owned by `owner`; the background is drawn from
  // `bkImage` as a frame picture when given, else the window colours.
  bool Create(platform::WindowId owner, CPoint pt, UINT notifyMsg, const std::wstring& bkImage = L"", int frameWidth = 0,
              int menuWidth = 300, enumBackMode mode = BACK_MODE_FRAME);
  // Adds an item (icon: a skin file with 4 frames, or empty). Null when the menu has no window.
  MenuItem* AddMenu(const std::wstring& text, UINT id, const std::wstring& iconFile = L"");
  MenuItem* AddSeparator(UINT id);
  MenuItem* GetItem(UINT id);
  // Lays the items out and sizes the window.
  void SetMenuPoint();
  int GetMenuWidth() const { return m_width; }
  void SetHoverColor(ARGB color) { m_hoverColor = color; }
  void SetItemHeight(int height) { m_itemHeight = height; }
  void SetDeleteOnClose(bool value) { m_deleteOnClose = value; }

  LRESULT OnMessage(UINT id, UINT code, UINT wParam, LPARAM lParam) override;
  int PostNcDestroy() override;

 private:
  platform::WindowId m_owner = 0;
  UINT m_notifyMsg = 0;
  int m_leftMargin = 5;
  int m_itemHeight = 35;
  int m_width = 300;
  int m_topSpacing = 6;
  int m_bottomSpacing = 6;
  ARGB m_hoverColor = 0xFF10A8FD;
  bool m_deleteOnClose = true;
};

}  // namespace kl::vela
