// MPopupWnd: a dialog-like window for menus and drop-downs. It bypasses the window manager,
// closes itself as soon as it loses activation (a press elsewhere, another window activated)
// and reports to the MObject that opened it.
#pragma once

#include "velaui/core/MDialog.h"

namespace kl::vela {

class MPopupWnd : public MDialog {
 public:
  explicit MPopupWnd(MObject* parent);
  MObject* GetParent() const { return m_parentObject; }
  void CloseWindow() { PostMessageW(WM_CLOSE, 0, 0); }
  LRESULT SendMessageToParent(UINT id, UINT code, UINT wParam, LPARAM lParam) {
    return m_parentObject ? m_parentObject->OnBaseMessage(id, code, wParam, lParam) : 0;
  }
  int OnNcActivate(int active) override;

 private:
  MObject* m_parentObject;
};

}  // namespace kl::vela
