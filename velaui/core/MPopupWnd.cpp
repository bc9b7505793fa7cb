#include "velaui/core/MPopupWnd.h"

namespace kl::vela {

MPopupWnd::MPopupWnd(MObject* parent) : m_parentObject(parent) { m_popupKind = true; }

int MPopupWnd::OnNcActivate(int active) {
  if (!active) CloseWindow();
  return 0;
}

}  // namespace kl::vela
