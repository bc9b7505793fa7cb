// CComboBoxList: the list inside a combo box's drop-down window (CComboBoxWnd).
//
// Rows are kRowHeight pixels from the top of the list. The row under the pointer is highlighted
// with the library's selection colour; a press picks the row under it, and the release over that
// same row reports the choice to the parent:
//   NotifyClick, wParam = row index, lParam = kChoiceMark (19: "chosen in a drop-down")
// A release elsewhere (the pointer was dragged off the row) chooses nothing. While the rows
// overflow the list the wheel scrolls it by one row per notch and a thin bar on the right shows
// which part is in view.
#pragma once

#include <string>
#include <vector>

#include "velaui/core/MControlFont.h"

namespace kl::vela {

struct ComboItem {
  std::wstring text;
  std::wstring text2;  // a second text, shown right-aligned in a quieter colour
  ARGB color = 0xFF000000;
  long data = 0;
};

class CComboBoxList : public MControlFont {
 public:
  static constexpr int kRowHeight = 30;
  static constexpr LPARAM kChoiceMark = 19;

  CComboBoxList(MObject* parent, UINT id, CRect rect, int visible, int enabled);

  const wchar_t* GetClassNameW() const override { return L"CComboBoxList"; }
  void DrawControl(Canvas& canvas, CRect clip) override;
  int OnControlMouseMove(UINT flags, CPoint pt) override;
  int OnControlLButtonDown(UINT flags, CPoint pt) override;
  int OnControlLButtonUp(UINT flags, CPoint pt) override;
  int OnControlScroll(int bar, UINT down, CPoint pt) override;

  // Appends a row; returns its index.
  int AddItem(const std::wstring& text, long data, const std::wstring& text2 = L"", ARGB color = 0xFF000000);
  int GetItemCount() const { return static_cast<int>(m_items.size()); }
  // Null outside 0 .. count - 1.
  const ComboItem* GetItem(int index) const;
  // Marks the combo's current row (drawn selected) and scrolls it into view; -1 marks none.
  // False (and nothing changes) outside -1 .. count - 1.
  bool SetCurSel(int index);
  int GetCurSel() const { return m_selected; }
  int GetHoverIndex() const { return m_hover; }
  // The first row in view.
  int GetTopIndex() const { return m_top; }

 private:
  // The row under a window point, -1 over no row.
  int RowAt(CPoint pt) const;
  int VisibleRows() const;
  int MaxTop() const;
  void SetHover(int index);

  std::vector<ComboItem> m_items;
  int m_hover = -1;
  int m_selected = -1;
  int m_pressed = -1;
  int m_top = 0;
};

}  // namespace kl::vela
