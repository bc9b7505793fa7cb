#include "velaui/core/ControlFactory.h"

#include <cwchar>

#include "velaui/core/CArea.h"
#include "velaui/core/CComboBoxList.h"
#include "velaui/core/CGifPicture.h"
#include "velaui/core/CPhotoFrame.h"
#include "velaui/core/MPicture.h"
#include "velaui/core/MenuItem.h"

namespace kl::vela {

namespace {

enum class Shape { T, I, I1, O, X };

struct Row {
  const wchar_t* name;
  Shape shape;
  bool dialog;
  bool panel;
  ControlMaker maker;
};

MControl* MakeArea(MObject* parent, UINT id, CRect rect, const wchar_t*, int visible, int enabled) {
  return new CArea(parent, id, rect, visible, enabled);
}

MControl* MakeMenuItem(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled) {
  return new MenuItem(parent, id, rect, title, visible, enabled);
}

MControl* MakeComboBoxList(MObject* parent, UINT id, CRect rect, const wchar_t*, int visible, int enabled) {
  return new CComboBoxList(parent, id, rect, visible, enabled);
}

template <class T>
MControl* MakePicture(MObject* parent, UINT id, CRect rect, const wchar_t*, int visible, int enabled) {
  return new T(parent, id, rect, visible, enabled);
}

Row g_rows[] = {
    {L"CArea", Shape::I1, true, true, MakeArea},
    {L"MText", Shape::X, true, true, nullptr},
    {L"MPicture", Shape::I, true, true, MakePicture<MPicture>},
    {L"CPhotoFrame", Shape::I, true, true, MakePicture<CPhotoFrame>},
    {L"CSliderPicture", Shape::I, true, true, nullptr},
    {L"CGifPicture", Shape::I, true, true, MakePicture<CGifPicture>},
    {L"MProgress", Shape::I, true, true, nullptr},
    {L"MSlider", Shape::I, true, true, nullptr},
    {L"MLevelCtrl", Shape::I, true, true, nullptr},
    {L"MButton", Shape::T, true, true, nullptr},
    {L"CImageButton", Shape::T, true, true, nullptr},
    {L"CTextButton", Shape::T, true, true, nullptr},
    {L"CCheckButton", Shape::T, true, true, nullptr},
    {L"CRadioButton", Shape::T, true, true, nullptr},
    {L"CColorButton", Shape::I, true, true, nullptr},
    {L"MSpinButton", Shape::I, true, true, nullptr},
    {L"CSpinButton", Shape::I, true, true, nullptr},
    {L"CSwitchButton", Shape::I, true, true, nullptr},
    {L"CIconButton", Shape::T, true, true, nullptr},
    {L"CTimerButton", Shape::T, true, true, nullptr},
    {L"CHelpButton", Shape::T, true, true, nullptr},
    {L"MEdit", Shape::T, true, true, nullptr},
    {L"MRichEdit", Shape::T, true, true, nullptr},
    {L"MEditEx", Shape::T, true, true, nullptr},
    {L"MComboBox", Shape::I, true, true, nullptr},
    {L"MTabCtrl", Shape::I, true, true, nullptr},
    {L"MTabLayout", Shape::O, true, true, nullptr},
    {L"MListBox", Shape::O, true, true, nullptr},
    {L"MPalette", Shape::O, true, true, nullptr},
    {L"CColorPalette", Shape::O, true, true, nullptr},
    {L"CColorSelect", Shape::O, true, true, nullptr},
    {L"CirclePalette", Shape::I1, true, true, nullptr},
    {L"CComboBoxList", Shape::I1, true, false, MakeComboBoxList},
    {L"MenuItem", Shape::X, true, true, MakeMenuItem},
    {L"KeyboardCtrl", Shape::O, true, true, nullptr},
    {L"CDeviceCtrl", Shape::I1, true, true, nullptr},
    {L"BatteryCtrl", Shape::I1, true, false, nullptr},
    {L"KeyFuncControl", Shape::O, false, true, nullptr},
    {L"DListBox", Shape::O, false, true, nullptr},
    {L"CRecordList", Shape::O, false, true, nullptr},
    {L"UpgradeButton", Shape::T, false, true, nullptr},
    {L"DownloadButton", Shape::T, false, true, nullptr},
    {L"KeyLayerButton", Shape::T, false, true, nullptr},
};

Row* FindRow(const wchar_t* name) {
  if (!name || !*name) return nullptr;
  for (Row& row : g_rows)
    if (std::wcscmp(row.name, name) == 0) return &row;
  return nullptr;
}

}  // namespace

bool ControlFactory::Register(const wchar_t* className, ControlMaker maker) {
  Row* row = FindRow(className);
  if (!row || !maker) return false;
  row->maker = maker;
  return true;
}

bool ControlFactory::IsListed(const wchar_t* className, ControlContainer container) {
  const Row* row = FindRow(className);
  return row && (container == ControlContainer::Dialog ? row->dialog : row->panel);
}

MControl* ControlFactory::Construct(ControlContainer container, MObject* parent, const wchar_t* className, UINT id,
                                    CRect rect, const wchar_t* title, int a, int b) {
  const Row* row = FindRow(className);
  if (!row || !row->maker || !IsListed(className, container)) return nullptr;
  switch (row->shape) {
    case Shape::T:
      return row->maker(parent, id, rect, title, a, b);
    case Shape::I:
      return row->maker(parent, id, rect, nullptr, a, b);
    case Shape::I1:
    case Shape::O:
      return row->maker(parent, id, rect, nullptr, a, 1);
    case Shape::X:
      return row->maker(parent, id, rect, title, a, 1);
  }
  return nullptr;
}

}  // namespace kl::vela
