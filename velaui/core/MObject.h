// MObject: the root of everything that can hold controls (dialogs, popups, panels, controls).
// A control's parent is always an MObject; notifications and repaint requests go up through it.
#pragma once

#include "base/Geometry.h"
#include "platform/Messages.h"

namespace kl::vela {

class MControl;

class MObject {
 public:
  virtual ~MObject() = default;
  // 1 when GetClassNameW() equals `name` exactly (case-sensitive); a null name or class gives 0.
  virtual int IsClass(const wchar_t* name);
  virtual const wchar_t* GetClassNameW() const { return nullptr; }
  // A child reports a user action (the notification protocol, see Notify.h).
  virtual LRESULT OnBaseMessage(UINT childId, UINT code, UINT wParam, LPARAM lParam) { return 0; }
  // A child asks for a repaint of `dirty` (window client coordinates).
  virtual LRESULT OnControlUpdate(CRect dirty, int erase, MControl* from) { return 0; }
};

}  // namespace kl::vela
