// The combo drop-down window and its list, driven directly as a combo box would drive them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "tests/velaui/HeadlessFixture.h"
#include "velaui/core/CComboBoxWnd.h"
#include "velaui/core/ControlFactory.h"
#include "velaui/core/MDialog.h"
#include "velaui/core/Notify.h"

namespace kl::test {
namespace {

using vela::CComboBoxList;
using vela::CComboBoxWnd;

// A presented (premultiplied, nearly opaque) pixel shows the COLORREF `c`, within rounding.
bool NearColor(uint32_t pixel, COLORREF c) {
  const int want[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
  const int got[3] = {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF), static_cast<int>(pixel & 0xFF)};
  for (int i = 0; i < 3; ++i)
    if (std::abs(want[i] - got[i]) > 2) return false;
  return (pixel >> 24) >= 0xFE;
}

// Stands in for the combo box: writes down what the drop-down tells it.
class FakeCombo : public RecordingControl {
 public:
  using RecordingControl::RecordingControl;
  struct Call {
    UINT child, code, wParam;
    LPARAM lParam;
    bool operator==(const Call&) const = default;
  };
  LRESULT OnMessage(UINT child, UINT code, UINT wParam, LPARAM lParam) override {
    calls.push_back({child, code, wParam, lParam});
    return 0;
  }
  std::vector<Call> calls;
};

class ComboBoxWndTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    ASSERT_NE(dlg.Create(0, L"Page", vela::WS_VISIBLE, 0, CRect(0, 0, 800, 600)), 0u);
    combo = new FakeCombo(&dlg, 36, CRect(200, 160, 400, 198), nullptr);
    dlg.GetPaintManager().AddControl(combo, 1);
  }
  // Opens a drop-down of `count` items ("Item 0" ...) under the combo.
  void Open(int count) {
    drop = std::make_unique<CComboBoxWnd>(combo);
    const CRect at = CComboBoxWnd::GetDropRect(dlg.ClientToScreen(combo->GetRect()), count, m_ws.GetWorkArea({0, 0}));
    ASSERT_TRUE(drop->Create(dlg.GetSafeHwnd(), at));
    for (int i = 0; i < count; ++i) drop->AddItem(L"Item " + std::to_wstring(i), 100 + i);
    drop->ShowWindow(vela::SW_SHOW);
    m_ws.PumpMessages();
  }
  // The screen point in the middle of visible row `row` of the list.
  CPoint RowPoint(int row) {
    const CRect list = drop->ClientToScreen(drop->GetList()->GetRect());
    return {list.left + 40, list.top + row * CComboBoxList::kRowHeight + CComboBoxList::kRowHeight / 2};
  }
  static FakeCombo::Call Chosen(int row) { return {0, vela::NotifyClick, static_cast<UINT>(row), CComboBoxList::kChoiceMark}; }
  static FakeCombo::Call Closed() { return {0, vela::NotifyDropClosed, 0, 0}; }

  vela::MDialog dlg;
  FakeCombo* combo = nullptr;
  std::unique_ptr<CComboBoxWnd> drop;
};

TEST_F(ComboBoxWndTest, DropRectFitsUpToFiveRowsAndFlipsAboveNearTheBottom) {
  const CRect work(0, 0, 1920, 1040);
  struct Case {
    CRect combo;
    int items;
    CRect want;
  };
  const Case cases[] = {
      {CRect(200, 160, 400, 198), 0, CRect(204, 200, 394, 212)},
      {CRect(200, 160, 400, 198), 3, CRect(204, 200, 394, 302)},
      {CRect(200, 160, 400, 198), 5, CRect(204, 200, 394, 362)},
      {CRect(200, 160, 400, 198), 8, CRect(204, 200, 394, 362)},
      {CRect(200, 960, 400, 998), 3, CRect(204, 858, 394, 960)},   // would end at 1100: above
      {CRect(200, 900, 400, 938), 3, CRect(204, 940, 394, 1042)},  // just past the bottom: above
      {CRect(200, 898, 400, 936), 3, CRect(204, 938, 394, 1040)},  // ends exactly at the bottom: below
  };
  for (const Case& k : cases) {
    const CRect got = CComboBoxWnd::GetDropRect(k.combo, k.items, work);
    const CRect want = k.want.bottom > work.bottom ? CRect(k.want.left, k.combo.top - k.want.Height(), k.want.right, k.combo.top) : k.want;
    EXPECT_EQ(got, want) << "combo at " << k.combo.top << " with " << k.items << " items";
  }
}

TEST_F(ComboBoxWndTest, TheListIsMadeByTheFactoryForDialogsOnly) {
  std::unique_ptr<vela::MControl> list(
      vela::ControlFactory::Construct(vela::ControlContainer::Dialog, &dlg, L"CComboBoxList", 88, CRect(0, 0, 10, 10), nullptr, 1, 0));
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->IsClass(L"CComboBoxList"));
  EXPECT_EQ(list->IsEnabled(), 1) << "always made enabled";
  EXPECT_EQ(vela::ControlFactory::Construct(vela::ControlContainer::Panel, &dlg, L"CComboBoxList", 88, CRect(0, 0, 10, 10), nullptr, 1, 1),
            nullptr);
}

TEST_F(ComboBoxWndTest, OpensAsAnActivePopupWithItsListInset) {
  Open(3);
  ASSERT_TRUE(drop->IsWindow());
  EXPECT_EQ(drop->GetWindowTextW(), L"ComboWnd");
  EXPECT_EQ(drop->GetWindowRect(), CRect(204, 200, 394, 302));
  EXPECT_EQ(m_ws.GetActiveWindow(), drop->GetSafeHwnd());
  EXPECT_TRUE(m_ws.IsLayered(drop->GetSafeHwnd()));
  CComboBoxList* list = drop->GetList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(drop->GetPaintManager().GetControl(CComboBoxWnd::kListId), list);
  EXPECT_EQ(list->GetRect(), CRect(3, 6, 187, 96));
  EXPECT_EQ(list->GetItemCount(), 3);
  EXPECT_EQ(list->GetItem(2)->data, 102);
  EXPECT_EQ(list->GetItem(3), nullptr);
  // The border and the fill of the window, and the highlight of the row under the pointer.
  const platform::WindowId w = drop->GetSafeHwnd();
  EXPECT_TRUE(NearColor(m_ws.PixelAt(w, 0, 50), 0xFDA810)) << "the border";
  EXPECT_TRUE(NearColor(m_ws.PixelAt(w, 1, 2), 0x130D09)) << "the fill";
  m_ws.MouseMove(RowPoint(1));
  EXPECT_EQ(list->GetHoverIndex(), 1);
  EXPECT_EQ(m_ws.PixelAt(w, 100, 6 + 30 + 15), 0xFF10A8FDu) << "the selection colour";
  EXPECT_NE(m_ws.PixelAt(w, 100, 6 + 15), 0xFF10A8FDu) << "only the hovered row";
}

TEST_F(ComboBoxWndTest, ChoosingARowTellsTheComboAndCloses) {
  Open(3);
  m_ws.Click(RowPoint(2));
  EXPECT_FALSE(drop->IsWindow());
  EXPECT_EQ(combo->calls, (std::vector<FakeCombo::Call>{Chosen(2), Closed()}));
}

TEST_F(ComboBoxWndTest, OutsideClickOrLostActivationClosesWithoutAChoice) {
  struct Case {
    const char* what;
    std::function<void()> act;
  };
  const Case cases[] = {
      {"press on the page", [&] { m_ws.Click({600, 500}); }},
      {"press on the combo itself", [&] { m_ws.Click({300, 180}); }},
      {"another window activated", [&] { dlg.BringToTop(); }},
  };
  for (const Case& k : cases) {
    combo->calls.clear();
    Open(3);
    k.act();
    m_ws.PumpMessages();
    EXPECT_FALSE(drop->IsWindow()) << k.what;
    EXPECT_EQ(combo->calls, (std::vector<FakeCombo::Call>{Closed()})) << k.what;
  }
}

TEST_F(ComboBoxWndTest, ReleaseOffThePressedRowChoosesNothing) {
  Open(3);
  m_ws.MouseButton(WM_LBUTTONDOWN, RowPoint(0), true);
  m_ws.MouseMove(RowPoint(2));
  m_ws.MouseButton(WM_LBUTTONDOWN, RowPoint(2), false);
  EXPECT_TRUE(drop->IsWindow());
  EXPECT_TRUE(combo->calls.empty());
  m_ws.Click(RowPoint(2));
  EXPECT_EQ(combo->calls, (std::vector<FakeCombo::Call>{Chosen(2), Closed()}));
}

TEST_F(ComboBoxWndTest, WheelScrollsALongListAndRowsCountFromTheTop) {
  Open(8);
  CComboBoxList* list = drop->GetList();
  ASSERT_EQ(drop->GetWindowRect().Height(), 5 * 30 + 12);
  const CPoint over = RowPoint(0);
  for (int notch = 0; notch < 5; ++notch) m_ws.Wheel(over, -WHEEL_DELTA);
  EXPECT_EQ(list->GetTopIndex(), 3) << "stops where the last row is in view";
  m_ws.Wheel(over, WHEEL_DELTA);
  EXPECT_EQ(list->GetTopIndex(), 2);
  m_ws.Click(RowPoint(1));
  EXPECT_EQ(combo->calls, (std::vector<FakeCombo::Call>{Chosen(3), Closed()}));
}

TEST_F(ComboBoxWndTest, CurrentChoiceIsScrolledIntoView) {
  Open(8);
  CComboBoxList* list = drop->GetList();
  struct Case {
    int select;
    bool ok;
    int top;
  };
  for (const Case& k : {Case{6, true, 2}, Case{7, true, 3}, Case{0, true, 0}, Case{8, false, 0}, Case{-2, false, 0}, Case{-1, true, 0}}) {
    EXPECT_EQ(drop->SetCurSel(k.select), k.ok) << k.select;
    EXPECT_EQ(list->GetTopIndex(), k.top) << k.select;
  }
  EXPECT_EQ(list->GetCurSel(), -1);
  list->SetCurSel(4);
  list->SetCurSel(6);
  EXPECT_EQ(list->GetTopIndex(), 2) << "in view already: no jump";
}

TEST_F(ComboBoxWndTest, DeletingTheOpenWindowClosesItSilently) {
  Open(3);
  const platform::WindowId w = drop->GetSafeHwnd();
  drop.reset();
  EXPECT_FALSE(m_ws.IsWindow(w));
  EXPECT_TRUE(combo->calls.empty());
  EXPECT_TRUE(m_ws.FindWindows(L"VelaClient", L"ComboWnd").empty());
}

}  // namespace
}  // namespace kl::test
