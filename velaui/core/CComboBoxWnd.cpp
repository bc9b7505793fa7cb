#include "velaui/core/CComboBoxWnd.h"

#include <algorithm>

#include "velaui/core/MControl.h"
#include "velaui/core/Notify.h"

namespace kl::vela {

CComboBoxWnd::CComboBoxWnd(MControl* combo) : MPopupWnd(combo), m_combo(combo) {}

CComboBoxWnd::~CComboBoxWnd() {
  // The combo is deleting us: it knows the drop-down is gone. MDialog's destructor would destroy
  // the window too, but only after this class's handlers are no longer reachable.
  m_notifyClose = false;
  DestroyWindow();
}

CRect CComboBoxWnd::GetDropRect(const CRect& combo, int itemCount, const CRect& workArea) {
  const int rows = std::clamp(itemCount, 0, kMaxVisibleRows);
  const int height = rows * CComboBoxList::kRowHeight + 12;
  CRect r(combo.left + 4, combo.bottom + 2, combo.right - 6, combo.bottom + 2 + height);
  if (r.bottom > workArea.bottom) r = CRect(r.left, combo.top - height, r.right, combo.top);
  return r;
}

bool CComboBoxWnd::Create(platform::WindowId owner, const CRect& screen, const std::wstring& backImage) {
  if (!MWindow::Create(owner, L"ComboWnd", 0, WS_EX_TOOLWINDOW | WS_EX_LAYERED, screen)) return false;
  PaintManager& pm = GetPaintManager();
  SetLayeredWindow(1);
  pm.SetBackColor(0x130D09, 0xFDA810);
  if (!backImage.empty() && pm.LoadBKImage(backImage)) pm.SetBackMode(BACK_MODE_FRAME, 6);
  return m_list != nullptr;
}

void CComboBoxWnd::InitUI(CRect client) {
  m_list = static_cast<CComboBoxList*>(
      CreateControl(L"CComboBoxList", kListId, CRect(3, 6, client.right - 3, client.bottom - 6), nullptr, 1, 1));
}

int CComboBoxWnd::AddItem(const std::wstring& text, long data, const std::wstring& text2, ARGB color) {
  return m_list ? m_list->AddItem(text, data, text2, color) : -1;
}

bool CComboBoxWnd::SetCurSel(int index) { return m_list && m_list->SetCurSel(index); }

void CComboBoxWnd::SetTextColor(ARGB color) {
  if (!m_list) return;
  m_list->SetTextColor(color);
  m_list->UpdateControl(1, 0);
}

LRESULT CComboBoxWnd::OnMessage(UINT controlId, UINT code, UINT wParam, LPARAM lParam) {
  if (controlId != kListId || code != NotifyClick) return 0;
  CloseWindow();
  if (m_combo) m_combo->OnMessage(0, NotifyClick, wParam, lParam);
  return 0;
}

int CComboBoxWnd::OnDestroy() {
  m_list = nullptr;  // the manager deletes the controls with the window
  if (m_notifyClose && m_combo) m_combo->OnMessage(0, NotifyDropClosed, 0, 0);
  return 0;
}

}  // namespace kl::vela
