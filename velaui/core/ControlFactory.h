// The control factory: builds a control from its class name, as dialogs and panels do when
// they lay out their pages.
//
// The table below knows every class name a container may ask for, with the constructor shape
// the name takes and whether dialogs and panels may create it. A class's constructor is
// registered into its row by the module that defines the class; a name outside the table, a
// name the container may not create, or a row without a constructor yields null.
//
// Shapes (how the factory's (title, a, b) arguments reach the constructor):
//   T  = title, visible a, enabled b     I  = visible a, enabled b
//   I1 = visible a, enabled 1            O  = visible a, enabled 1
//   X  = title, visible a, enabled 1 (texts and menu items)
#pragma once

#include "velaui/core/MControl.h"

namespace kl::vela {

enum class ControlContainer { Dialog, Panel };

using ControlMaker = MControl* (*)(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled);

class ControlFactory {
 public:
  // Installs the constructor of a listed class. False when the name is not in the table.
  static bool Register(const wchar_t* className, ControlMaker maker);
  // True when the table lists `className` for `container` (whether or not it is registered).
  static bool IsListed(const wchar_t* className, ControlContainer container);
  // A new control, or null (empty or unknown name, not allowed here, not registered).
  static MControl* Construct(ControlContainer container, MObject* parent, const wchar_t* className, UINT id, CRect rect,
                             const wchar_t* title, int a, int b);
};

}  // namespace kl::vela
