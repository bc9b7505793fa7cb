// Dialogs, modal loops, popups, menus, tips and the overlay message on the headless system.
#include <gtest/gtest.h>

#include "tests/velaui/HeadlessFixture.h"
#include "velaui/core/MBalloon.h"
#include "velaui/core/MDialog.h"
#include "velaui/core/MenuItem.h"
#include "velaui/core/MenuWnd.h"
#include "velaui/core/Notify.h"
#include "velaui/core/TooltipWnd.h"

namespace kl::test {
namespace {

using vela::MDialog;

class ClosingDialog : public MDialog {
 public:
  std::function<void(ClosingDialog&)> onInit;
  void InitUI(CRect) override {
    if (onInit) onInit(*this);
  }
};

class WindowsTest : public HeadlessTest {
 protected:
  platform::WindowId MakeOwner() {
    return owner.Create(0, L"Owner", vela::WS_VISIBLE, 0, CRect(0, 0, 800, 600));
  }
  MDialog owner;
};

TEST_F(WindowsTest, ModalDialogReturnsTheResultOfItsClosingOperation) {
  struct Case {
    void (MDialog::*close)();
    UINT result;
  };
  for (const Case& k : {Case{&MDialog::DoOK, IDOK}, Case{&MDialog::DoCancel, IDCANCEL}, Case{&MDialog::DoClose, IDCANCEL},
                        Case{&MDialog::DoYes, IDYES}, Case{&MDialog::DoNo, IDNO}}) {
    const platform::WindowId o = owner.IsWindow() ? owner.GetSafeHwnd() : MakeOwner();
    ClosingDialog dlg;
    ASSERT_NE(dlg.Create(o, L"MessageBox", 0, vela::WS_EX_TOOLWINDOW, CRect(10, 10, 390, 210)), 0u);
    bool ownerDisabledWhileModal = false;
    m_ws.PostTask([&] {
      ownerDisabledWhileModal = !m_ws.IsWindowEnabled(o);
      (dlg.*k.close)();
    });
    EXPECT_EQ(dlg.ShowModal(), k.result);
    EXPECT_TRUE(ownerDisabledWhileModal);
    EXPECT_TRUE(m_ws.IsWindowEnabled(o)) << "the owner is enabled again";
    EXPECT_FALSE(dlg.IsWindow());
    EXPECT_EQ(m_ws.GetActiveWindow(), o);
  }
}

TEST_F(WindowsTest, CloseRequestedBeforeTheWindowExistsClosesItOnceItDoes) {
  ClosingDialog dlg;
  dlg.DoOK();  // no window yet
  ASSERT_NE(dlg.Create(0, L"WaitDlg", 0, 0, CRect(0, 0, 100, 100)), 0u);
  EXPECT_EQ(dlg.ShowModal(), IDOK);
  ClosingDialog early;
  early.onInit = [](ClosingDialog& d) { d.DoCancel(); };  // asked for while the window is being built
  ASSERT_NE(early.Create(0, L"WaitDlg", 0, 0, CRect(0, 0, 100, 100)), 0u);
  EXPECT_EQ(early.ShowModal(), IDCANCEL);
}

TEST_F(WindowsTest, ShowModalWithoutAWindowFailsAndAQuitEndsItAndStaysPending) {
  ClosingDialog none;
  EXPECT_EQ(none.ShowModal(), static_cast<UINT>(-1));
  ClosingDialog dlg;
  ASSERT_NE(dlg.Create(0, L"D", 0, 0, CRect(0, 0, 100, 100)), 0u);
  m_ws.PostTask([&] { m_ws.PostQuit(3); });
  dlg.ShowModal();
  EXPECT_TRUE(m_ws.IsQuitPending()) << "the outer loop ends too";
  EXPECT_TRUE(dlg.IsWindow());
}

TEST_F(WindowsTest, WindowsAreFoundByClassAndTitle) {
  MakeOwner();
  ClosingDialog dlg;
  dlg.Create(owner.GetSafeHwnd(), L"ExitChoiceDlg", 0, vela::WS_EX_TOOLWINDOW | vela::WS_EX_TOPMOST, CRect(0, 0, 50, 50));
  const auto found = m_ws.FindWindows(L"VelaClient", L"ExitChoiceDlg");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0], dlg.GetSafeHwnd());
  EXPECT_TRUE(m_ws.IsTopmost(dlg.GetSafeHwnd()));
}

TEST_F(WindowsTest, CenterWindowKeepsTheDialogInsideTheWorkArea) {
  m_ws.SetWorkArea(CRect(0, 0, 1000, 700));
  MakeOwner();
  owner.MoveWindow(CRect(700, 500, 1000, 700));  // near the bottom-right corner
  ClosingDialog dlg;
  dlg.Create(owner.GetSafeHwnd(), L"D", 0, 0, CRect(0, 0, 400, 300));
  dlg.CenterWindow();
  EXPECT_EQ(dlg.GetWindowRect(), CRect(600, 400, 1000, 700));
  owner.ShowWindow(vela::SW_HIDE);
  dlg.CenterWindow();
  EXPECT_EQ(dlg.GetWindowRect(), CRect(300, 200, 700, 500)) << "a hidden owner does not count";
}

TEST_F(WindowsTest, MinimisedDialogPaintsNothingAndLaysOutAgainWhenRestored) {
  struct Counting : ClosingDialog {
    int layouts = 0;
    void UISize(CRect) override { ++layouts; }
  } dlg;
  ASSERT_NE(dlg.Create(0, L"Main", vela::WS_VISIBLE, 0, CRect(0, 0, 300, 200)), 0u);
  m_ws.PumpMessages();
  const int layouts = dlg.layouts;
  const int paints = dlg.GetPaintManager().GetPaintCount();
  dlg.OnMinimize();
  EXPECT_TRUE(dlg.IsIconic());
  dlg.InvalidateRect(nullptr);
  m_ws.Click({100, 100});  // nothing is under the pointer now
  m_ws.AdvanceTime(100);
  EXPECT_EQ(dlg.GetPaintManager().GetPaintCount(), paints);
  EXPECT_EQ(dlg.layouts, layouts) << "no layout for the minimised size";
  dlg.ShowWindow(vela::SW_RESTORE);
  m_ws.PumpMessages();
  EXPECT_FALSE(dlg.IsIconic());
  EXPECT_EQ(dlg.layouts, layouts + 1);
  EXPECT_GT(dlg.GetPaintManager().GetPaintCount(), paints);
  EXPECT_EQ(m_ws.GetActiveWindow(), dlg.GetSafeHwnd());
}

TEST_F(WindowsTest, PressOnEmptyAreaMovesTheWindowOnlyWhenDraggingIsEnabled) {
  MakeOwner();
  m_ws.PumpMessages();
  m_ws.MouseButton(WM_LBUTTONDOWN, {100, 100}, true);
  m_ws.MouseMove({150, 130});
  m_ws.MouseButton(WM_LBUTTONDOWN, {150, 130}, false);
  EXPECT_EQ(owner.GetWindowRect().TopLeft(), (CPoint{50, 30}));
  owner.EnableWndDrag(0);
  m_ws.MouseButton(WM_LBUTTONDOWN, {200, 200}, true);
  m_ws.MouseMove({260, 260});
  m_ws.MouseButton(WM_LBUTTONDOWN, {260, 260}, false);
  EXPECT_EQ(owner.GetWindowRect().TopLeft(), (CPoint{50, 30}));
}

class MenuTest : public WindowsTest {
 protected:
  void SetUp() override {
    WindowsTest::SetUp();
    listener.owner = MakeOwner();
    m_ws.PumpMessages();
  }
  struct Listener {
    platform::WindowId owner = 0;
  } listener;
};

TEST_F(MenuTest, MenuGrowsToItsWidestItemAndClosesAfterAClick) {
  auto* menu = new vela::MenuWnd(nullptr);
  ASSERT_TRUE(menu->Create(listener.owner, {100, 100}, WM_USER + 7, L"", 0, 120));
  menu->AddMenu(L"Open", 501);
  const std::wstring longText = L"Restore the factory settings of the keyboard";
  menu->AddMenu(longText, 502);
  const int textWidth = vela::Canvas::MeasureText(longText, vela::Font{vela::Manager::GetFontName(), vela::Manager::GetFontWidth(), 0}).cx;
  EXPECT_GE(menu->GetMenuWidth(), textWidth + 30);
  EXPECT_EQ(menu->GetWindowRect().Width(), menu->GetMenuWidth());
  EXPECT_EQ(menu->GetWindowRect().Height(), 6 + 2 * 35 + 6);
  const platform::WindowId menuWnd = menu->GetSafeHwnd();
  menu->ShowWindow(vela::SW_SHOW);
  m_ws.PumpMessages();
  ASSERT_EQ(m_ws.FindWindows(L"VelaClient", L"Menu Window").size(), 1u);
  m_ws.MouseMove({110, 100 + 6 + 35 + 10});
  m_ws.Click({110, 100 + 6 + 35 + 10});  // the second item
  EXPECT_FALSE(m_ws.IsWindow(menuWnd)) << "closed (and deleted itself) after the click";
}

TEST_F(MenuTest, MenuClosesOnAPressOutsideIt) {
  auto* menu = new vela::MenuWnd(nullptr);
  ASSERT_TRUE(menu->Create(listener.owner, {100, 100}, WM_USER + 7));
  menu->AddMenu(L"Open", 501);
  menu->ShowWindow(vela::SW_SHOW);
  const platform::WindowId menuWnd = menu->GetSafeHwnd();
  m_ws.PumpMessages();
  m_ws.Click({700, 500});
  EXPECT_FALSE(m_ws.IsWindow(menuWnd));
}

TEST_F(MenuTest, CheckableItemsReportThePreviousStateAndGroupedOnesStayChecked) {
  auto* menu = new vela::MenuWnd(nullptr);
  menu->SetDeleteOnClose(false);
  ASSERT_TRUE(menu->Create(listener.owner, {0, 0}, WM_USER + 7));
  vela::MenuItem* item = menu->AddMenu(L"Lock Win key", 601);
  ASSERT_NE(item, nullptr);
  item->SetCheckable(1);
  menu->ShowWindow(vela::SW_SHOW);
  m_ws.PumpMessages();
  const CPoint p{20, 6 + 10};
  m_ws.MouseMove(p);
  m_ws.Click(p);
  EXPECT_EQ(item->GetCheck(), 1);
  EXPECT_TRUE(menu->IsWindow()) << "a check does not close the menu";
  m_ws.AdvanceTime(1000);
  m_ws.Click(p);
  EXPECT_EQ(item->GetCheck(), 1) << "in a group an item becomes checked, it does not toggle";
  item->SetGroupName(L"");
  m_ws.AdvanceTime(1000);
  m_ws.Click(p);
  EXPECT_EQ(item->GetCheck(), 0);
  menu->DestroyWindow();
  delete menu;
}

TEST_F(WindowsTest, BalloonNeedsAPointAndPlacesItselfByMode) {
  MakeOwner();
  EXPECT_EQ(owner.SetBalloonMsg(L"Saved", CPoint{0, 300}, 1), 0);
  EXPECT_EQ(owner.GetPaintManager().GetBalloon(), nullptr) << "nothing was made";
  EXPECT_EQ(owner.SetBalloonMsg(L"Saved", CPoint{400, 300}, 1), 1);
  vela::MBalloon* balloon = owner.GetPaintManager().GetBalloon();
  ASSERT_NE(balloon, nullptr);
  EXPECT_TRUE(balloon->IsWindowVisible());
  const CRect r = balloon->GetWindowRect();
  EXPECT_EQ(r.left, 400 - 25) << "mode 3: below-right of the point";
  EXPECT_EQ(r.top, 300);
  EXPECT_EQ(m_ws.GetActiveWindow(), owner.GetSafeHwnd()) << "a balloon does not take the focus";
  m_ws.AdvanceTime(vela::MBalloon::kHideMs);
  EXPECT_FALSE(balloon->IsWindowVisible()) << "hidden after five seconds";
  auto& pm = owner.GetPaintManager();
  pm.SetBalloonMsg(L"Stays", {400, 300}, 4, 4);
  pm.ShowBalloon(1, 9);
  EXPECT_EQ(pm.ShowBalloon(0, 8), 0) << "another tag does not hide it";
  EXPECT_TRUE(balloon->IsWindowVisible());
  m_ws.AdvanceTime(vela::MBalloon::kHideMs * 2);
  EXPECT_TRUE(balloon->IsWindowVisible()) << "type 4 stays";
  EXPECT_EQ(balloon->GetWindowRect().bottom, 300) << "mode 4 ends at the point";
  EXPECT_EQ(pm.ShowBalloon(0, 9), 1);
  EXPECT_FALSE(balloon->IsWindowVisible());
}

TEST_F(WindowsTest, TooltipShowsOurOwnPopupForTheHoveredControlAndHidesOnLeave) {
  MakeOwner();
  auto* c = new RecordingControl(&owner, 5, CRect(10, 10, 100, 50), nullptr);
  owner.GetPaintManager().AddControl(c, 1);
  c->SetTooltip(L"Switch the lighting off");
  m_ws.PumpMessages();
  m_ws.MouseMove({20, 20});
  vela::TooltipWnd* tip = owner.GetPaintManager().GetTooltipWindow();
  ASSERT_NE(tip, nullptr);
  EXPECT_TRUE(tip->IsWindowVisible());
  EXPECT_EQ(tip->GetText(), L"Switch the lighting off");
  EXPECT_EQ(m_ws.GetActiveWindow(), owner.GetSafeHwnd());
  EXPECT_EQ(owner.GetPaintManager().GetTooltipCtrlID(), 5u);
  m_ws.MouseMove({300, 300});
  EXPECT_FALSE(tip->IsWindowVisible());
}

TEST_F(WindowsTest, ProgressJumpsForSmallStepsAnimatesLargeOnesAndFadesAtTheEnd) {
  MakeOwner();
  auto& pm = owner.GetPaintManager();
  pm.SetProgress(3, L"Uploading", CRect());
  EXPECT_EQ(pm.GetShownProgress(), 3) << "a step below 6 shows at once";
  pm.SetProgress(50, L"Uploading", CRect());
  EXPECT_EQ(pm.GetShownProgress(), 3);
  m_ws.AdvanceTime(10);
  EXPECT_EQ(pm.GetShownProgress(), 5) << "then 2 per 10 ms";
  m_ws.AdvanceTime(230);
  EXPECT_EQ(pm.GetShownProgress(), 50);
  pm.SetProgress(100, L"Done", CRect());
  m_ws.AdvanceTime(250);
  EXPECT_EQ(pm.GetShownProgress(), 100);
  EXPECT_EQ(pm.GetOverlayAlpha(), 255);
  int steps = 0;
  while (pm.GetOverlayAlpha() > 0 && steps < 100) {
    m_ws.AdvanceTime(50);
    ++steps;
  }
  EXPECT_NEAR(steps, 24, 1) << "the fade takes about 24 steps of 50 ms";
  EXPECT_EQ(pm.GetShownProgress(), 0);
}

TEST_F(WindowsTest, MessageOverlayFadesAfterThreeSeconds) {
  MakeOwner();
  auto& pm = owner.GetPaintManager();
  owner.SetMessage(L"Profile saved", CRect(), vela::MSG_INFO);
  m_ws.AdvanceTime(2999);
  EXPECT_EQ(pm.GetOverlayAlpha(), 255);
  m_ws.AdvanceTime(1 + 50);
  EXPECT_EQ(pm.GetOverlayAlpha(), 245);
  m_ws.AdvanceTime(50 * 30);
  EXPECT_EQ(pm.GetOverlayAlpha(), 0);
}

}  // namespace
}  // namespace kl::test
