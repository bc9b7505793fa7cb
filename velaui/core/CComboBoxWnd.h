// CComboBoxWnd: the drop-down window of a combo box. A layered popup titled "ComboWnd" (fill
// 0x130D09, border 0xFDA810, or a frame picture with 6-pixel borders) holding one CComboBoxList
// (ID kListId) inset 3 pixels left and right and 6 top and bottom.
//
// The combo opens it like this:
//   CRect at = CComboBoxWnd::GetDropRect(comboOnScreen, count, workArea);
//   wnd.Create(dialogWindow, at);   then AddItem for every item, SetCurSel, ShowWindow(SW_SHOW)
// and hears back through its OnMessage:
//   | when                          | OnMessage(childId, code, wParam, lParam) |
//   |-------------------------------|------------------------------------------|
//   | a row is chosen               | (0, NotifyClick, row, 19); then it closes |
//   | the window is gone (any cause)| (0, NotifyDropClosed, 0, 0)               |
// Like every popup it closes when it loses activation: a press outside it, another window
// activated. The combo owns the object; deleting it closes the window without a notification.
// It must not be deleted inside one of its own notifications (the window is still at work
// then): a combo drops the old one when it opens the next or when it goes itself.
#pragma once

#include <string>

#include "velaui/core/CComboBoxList.h"
#include "velaui/core/MPopupWnd.h"

namespace kl::vela {

class CComboBoxWnd : public MPopupWnd {
 public:
  static constexpr UINT kListId = 88;
  static constexpr int kMaxVisibleRows = 5;

  explicit CComboBoxWnd(MControl* combo);
  ~CComboBoxWnd() override;

  // The drop-down's screen rect for a combo at `combo` (screen) with `itemCount` items: from
  // 4 pixels inside its left edge to 6 inside its right, 2 below it, tall enough for up to five
  // rows; above the combo instead when it would run past the bottom of the work area.
  static CRect GetDropRect(const CRect& combo, int itemCount, const CRect& workArea);

  // Makes the (hidden) window owned by `owner`; `backImage` (a skin file) replaces the plain
  // colours when given and loadable. False when the window or its list cannot be made.
  bool Create(platform::WindowId owner, const CRect& screen, const std::wstring& backImage = L"");
  // Null before Create.
  CComboBoxList* GetList() const { return m_list; }
  // Forwarded to the list; -1 / false before Create.
  int AddItem(const std::wstring& text, long data, const std::wstring& text2 = L"", ARGB color = 0xFF000000);
  bool SetCurSel(int index);
  void SetTextColor(ARGB color);

  void InitUI(CRect client) override;
  LRESULT OnMessage(UINT controlId, UINT code, UINT wParam, LPARAM lParam) override;
  int OnDestroy() override;

 private:
  MControl* m_combo;
  CComboBoxList* m_list = nullptr;
  bool m_notifyClose = true;
};

}  // namespace kl::vela
