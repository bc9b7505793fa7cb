// The object and control model on the headless window system: routing, the repaint protocol,
// notifications, focus, the factory and the references a removed control leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "base/Encoding.h"
#include "tests/velaui/HeadlessFixture.h"
#include "velaui/core/CArea.h"
#include "velaui/core/ControlFactory.h"
#include "velaui/core/MDialog.h"
#include "velaui/core/Notify.h"

namespace kl::test {
namespace {

using vela::MControl;

class TestDialog : public vela::MDialog {
 public:
  struct Note {
    UINT id, code, wParam;
    friend bool operator==(const Note&, const Note&) = default;
  };
  LRESULT OnMessage(UINT id, UINT code, UINT wParam, LPARAM) override {
    notes.push_back({id, code, wParam});
    return 0;
  }
  int OnLButtonDown(UINT, CPoint) override { return ++presses, 0; }
  std::vector<Note> notes;
  int presses = 0;
};

// A container control that sends a click notification when released over itself.
class Clicker : public RecordingControl {
 public:
  using RecordingControl::RecordingControl;
  int OnControlLButtonUp(UINT flags, CPoint pt) override {
    RecordingControl::OnControlLButtonUp(flags, pt);
    if (m_rect.PtInRect(pt)) SendMessageW(vela::NotifyClick, 0, 0);
    return 1;
  }
};

class ControlModelTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    ASSERT_NE(dlg.Create(0, L"Test", vela::WS_VISIBLE, 0, CRect(100, 100, 500, 400)), 0u);
    m_ws.PumpMessages();
  }
  void TearDown() override {
    dlg.DestroyWindow();
    HeadlessTest::TearDown();
  }
  template <class T = RecordingControl>
  T* Add(UINT id, CRect rect, MControl* parent = nullptr, int kind = 1) {
    auto* c = new T(parent ? static_cast<vela::MObject*>(parent) : &dlg, id, rect, &log);
    if (parent) {
      c->SetManager(&dlg.GetPaintManager());
      parent->AddChild(c, kind);
    } else {
      dlg.GetPaintManager().AddControl(c, kind);
    }
    return c;
  }
  CPoint Screen(int x, int y) const { return {x + 100, y + 100}; }
  TestDialog dlg;
  std::vector<std::string> log;
};

TEST_F(ControlModelTest, MovesGoToTheHoverChildAndPressesStayWithThePressedControl) {
  auto* panel = Add(10, CRect(0, 0, 200, 200));
  auto* a = Add(11, CRect(10, 10, 60, 60), panel);
  auto* b = Add(12, CRect(100, 10, 150, 60), panel);
  m_ws.MouseMove(Screen(20, 20));
  EXPECT_EQ(panel->GetHoverChild(), a);
  EXPECT_EQ(dlg.GetPaintManager().GetHoverControl(), panel);
  m_ws.MouseMove(Screen(120, 20));
  EXPECT_EQ(panel->GetHoverChild(), b);
  // Press on b, drag over a: b keeps the gesture until the release.
  m_ws.MouseButton(WM_LBUTTONDOWN, Screen(120, 20), true);
  log.clear();
  m_ws.MouseMove(Screen(20, 20));
  EXPECT_EQ(panel->GetHoverChild(), b);
  EXPECT_EQ(log, std::vector<std::string>({"12 move"})) << "the pressed panel passes the move straight on";
  m_ws.MouseButton(WM_LBUTTONDOWN, Screen(20, 20), false);
  EXPECT_EQ(log.back(), "12 up");
  EXPECT_FALSE(panel->IsPressedInside());
}

TEST_F(ControlModelTest, DoubleClickFlagChoosesBetweenDoubleClickAndSecondPress) {
  struct Case {
    int flag;
    std::vector<std::string> expected;
  };
  for (const Case& k : {Case{0, {"20 down", "20 up", "20 down", "20 up"}}, Case{1, {"20 down", "20 up", "20 dbl", "20 up"}}}) {
    log.clear();
    auto* c = Add(20, CRect(10, 10, 100, 100));
    c->SetDblClk(k.flag);
    m_ws.AdvanceTime(1000);  // no double click with the previous case
    m_ws.Click(Screen(50, 50));
    m_ws.Click(Screen(50, 50));
    std::vector<std::string> presses;
    for (const auto& s : log)
      if (s != "20 move" && s != "20 focus" && s != "20 blur") presses.push_back(s);
    EXPECT_EQ(presses, k.expected) << "flag " << k.flag;
    dlg.GetPaintManager().RemoveControl(c);
  }
}

TEST_F(ControlModelTest, NestedChildGetsTheDoubleClickOrASecondPressByItsOwnFlag) {
  struct Case {
    int childFlag;
    std::vector<std::string> expected;
  };
  for (const Case& k : {Case{1, {"11 dbl", "11 up"}}, Case{0, {"11 down", "11 up"}}}) {
    auto* panel = Add(10, CRect(0, 0, 200, 200));
    auto* child = Add(11, CRect(10, 10, 60, 60), panel);
    panel->SetDblClk(1);
    child->SetDblClk(k.childFlag);
    m_ws.AdvanceTime(1000);
    m_ws.Click(Screen(20, 20));
    log.clear();
    m_ws.Click(Screen(20, 20));
    std::erase_if(log, [](const std::string& s) { return s.ends_with("move") || s.ends_with("focus") || s.ends_with("blur"); });
    EXPECT_EQ(log, k.expected) << "child flag " << k.childFlag;
    dlg.GetPaintManager().RemoveControl(panel);
  }
}

TEST_F(ControlModelTest, ClickNotifiesTheDialogAndItsOwnPressHandlerRunsFirst) {
  Add<Clicker>(30, CRect(10, 10, 100, 50));
  m_ws.Click(Screen(20, 20));
  EXPECT_EQ(dlg.presses, 1) << "the dialog sees the press although a control handled it";
  EXPECT_EQ(dlg.notes, (std::vector<TestDialog::Note>{{30, vela::NotifyClick, 0}}));
  // A release outside after a press inside sends nothing.
  m_ws.MouseButton(WM_LBUTTONDOWN, Screen(20, 20), true);
  m_ws.MouseButton(WM_LBUTTONDOWN, Screen(300, 250), false);
  EXPECT_EQ(dlg.notes.size(), 1u);
}

TEST_F(ControlModelTest, WheelNotchesAndDirection) {
  auto* c = Add(40, CRect(0, 0, 200, 200));
  struct Case {
    int delta;
    std::vector<std::string> expected;
  };
  for (const Case& k : {Case{-240, {"40 wheel-down", "40 wheel-down"}}, Case{120, {"40 wheel-up"}}, Case{60, {}}}) {
    log.clear();
    m_ws.Wheel(Screen(50, 50), k.delta);
    std::erase(log, "40 move");
    EXPECT_EQ(log, k.expected) << k.delta;
  }
  c->handleWheel = 0;
  log.clear();
  m_ws.Wheel(Screen(300, 250), -120);  // outside every control
  std::erase(log, "40 move");
  EXPECT_TRUE(log.empty());
}

TEST_F(ControlModelTest, KeysDescendToTheFocusedChildWithTheModifierCode) {
  auto* panel = Add(50, CRect(0, 0, 200, 200));
  Add(51, CRect(0, 0, 50, 50), panel);
  auto* focused = Add(52, CRect(60, 0, 110, 50), panel);
  focused->handleKey = 1;
  m_ws.Click(Screen(70, 10));  // focuses 52
  ASSERT_TRUE(focused->IsFocused());
  log.clear();
  m_ws.Key(VK_LCONTROL, true);
  m_ws.Key('K', true);
  m_ws.Key(VK_LCONTROL, false);
  EXPECT_EQ(log, std::vector<std::string>({"52 key 17/17", "52 key 75/17"}));
  struct Case {
    bool alt, shift, ctrl;
    UINT code;
  };
  for (const Case& k : {Case{false, false, false, 0}, Case{true, false, false, 18}, Case{false, true, false, 16},
                        Case{false, false, true, 17}, Case{true, false, true, 19}, Case{false, true, true, 17}})
    EXPECT_EQ(vela::ModifierCode(k.alt, k.shift, k.ctrl), k.code);
}

TEST_F(ControlModelTest, TabMovesFocusForwardShiftTabBackwardCtrlTabNot) {
  auto* a = Add(61, CRect(0, 0, 10, 10));
  auto* b = Add(62, CRect(20, 0, 30, 10));
  auto* hidden = Add(63, CRect(40, 0, 50, 10));
  auto* c = Add(64, CRect(60, 0, 70, 10));
  for (MControl* x : {static_cast<MControl*>(a), static_cast<MControl*>(b), static_cast<MControl*>(hidden),
                      static_cast<MControl*>(c)})
    x->SetTabStop(1);
  hidden->SetVisible(0);
  auto& pm = dlg.GetPaintManager();
  pm.SetFocusControl(b);
  m_ws.Key(VK_TAB, true);
  m_ws.Key(VK_TAB, false);
  EXPECT_EQ(pm.GetFocusControl(), c) << "the hidden control is skipped";
  m_ws.Key(VK_TAB, true);
  m_ws.Key(VK_TAB, false);
  EXPECT_EQ(pm.GetFocusControl(), a) << "wraps around";
  m_ws.Key(VK_LSHIFT, true);
  m_ws.Key(VK_TAB, true);
  m_ws.Key(VK_TAB, false);
  m_ws.Key(VK_LSHIFT, false);
  EXPECT_EQ(pm.GetFocusControl(), c);
  m_ws.Key(VK_LCONTROL, true);
  m_ws.Key(VK_TAB, true);
  m_ws.Key(VK_TAB, false);
  m_ws.Key(VK_LCONTROL, false);
  EXPECT_EQ(pm.GetFocusControl(), c);
  EXPECT_TRUE(c->IsFocused());
  EXPECT_FALSE(a->IsFocused());
}

// A parent that counts repaint requests.
struct CountingParent : vela::MObject {
  int updates = 0;
  CRect last;
  LRESULT OnControlUpdate(CRect dirty, int, MControl*) override {
    ++updates;
    last = dirty;
    return 1;
  }
};

TEST(ControlRepaintTest, SettersAskForRepaintsOnlyOnChange) {
  CountingParent parent;
  RecordingControl c(&parent, 1, CRect(0, 0, 10, 10), nullptr);
  c.SetVisible(1);
  c.SetEnabled(1);
  EXPECT_EQ(parent.updates, 0);
  c.SetVisible(0);
  EXPECT_EQ(parent.updates, 1);
  c.SetVisible(1, 0);
  EXPECT_EQ(parent.updates, 1) << "no repaint when told not to";
  c.SetRect(CRect(20, 0, 30, 10));
  EXPECT_EQ(parent.updates, 2);
  EXPECT_EQ(parent.last, CRect(0, 0, 30, 10)) << "old and new place";
  c.SetEnabled(0);
  EXPECT_EQ(parent.updates, 3);
  c.SetTitle(nullptr);
  EXPECT_EQ(c.GetTitle(), L"") << "a null text is an empty text";
}

TEST(ControlRepaintTest, IsClassComparesExactClassNames) {
  CountingParent parent;
  RecordingControl c(&parent, 1, CRect(), nullptr);
  EXPECT_EQ(c.IsClass(L"MControl"), 1);
  EXPECT_EQ(c.IsClass(L"mcontrol"), 0);
  EXPECT_EQ(c.IsClass(nullptr), 0);
  EXPECT_EQ(parent.IsClass(L"MControl"), 0);
  EXPECT_EQ(c.IsParentVisible(), 1) << "a non-control parent ends the walk";
}

TEST(ControlRepaintTest, PositionItemsTable) {
  struct Case {
    vela::POSITION_ITEM item;
    int expected;
  };
  const Case cases[] = {
      {{0, 0, 10}, 110}, {{0, 1, 10}, 190}, {{1, 0, 5}, 155}, {{1, 1, 5}, 145},
      {{2, 0, 50}, 150}, {{2, 0, 150}, 200}, {{2, 0, 33.3f}, 133}, {{9, 0, 1}, 0},
  };
  for (const Case& k : cases) EXPECT_EQ(vela::PositionItem2Value(k.item, 100, 200), k.expected) << k.item.type << " " << k.item.value;
}

TEST_F(ControlModelTest, RepaintOfTheLastControlInvalidatesOnlyItsRectAndAreasMarkLaterControlsStale) {
  auto* area = Add<RecordingControl>(70, CRect(0, 0, 200, 200), nullptr, 0);
  auto* over = Add(71, CRect(50, 50, 100, 100));
  auto* last = Add(72, CRect(300, 200, 350, 250));
  m_ws.AdvanceTime(10);
  const int overDraws = over->draws;
  last->UpdateControl();
  m_ws.PumpMessages();
  EXPECT_EQ(m_ws.LastPresentRect(dlg.GetSafeHwnd()), last->GetRect());
  EXPECT_EQ(over->draws, overDraws) << "a control elsewhere is not drawn";
  area->UpdateControl();
  m_ws.PumpMessages();
  EXPECT_FALSE(over->GetUpdate() && over->draws == overDraws) << "the control above the area redrew";
  EXPECT_EQ(m_ws.LastPresentRect(dlg.GetSafeHwnd()), area->GetRect());
}

TEST_F(ControlModelTest, PaintedPixelsAndAnIdleWindowRepaintsNothing) {
  auto* c = Add(80, CRect(10, 10, 60, 60));
  c->fill = 0xFF10A8FD;
  m_ws.AdvanceTime(20);
  EXPECT_EQ(m_ws.PixelAt(dlg.GetSafeHwnd(), 30, 30), 0xFF10A8FDu);
  const int paints = dlg.GetPaintManager().GetPaintCount();
  const int draws = c->draws;
  m_ws.AdvanceTime(5000);
  EXPECT_EQ(dlg.GetPaintManager().GetPaintCount(), paints);
  EXPECT_EQ(c->draws, draws);
}

TEST_F(ControlModelTest, RemovingAControlClearsEveryReferenceToIt) {
  auto& pm = dlg.GetPaintManager();
  auto* c = Add(90, CRect(10, 10, 60, 60));
  c->SetRunTimer(1);
  c->SetTooltip(L"tip");
  m_ws.Click(Screen(20, 20));
  pm.SetTimer(c, 1, 100);
  pm.AddMTimer(c);
  pm.SetMTimer(10);
  pm.CreateCaret(1, 12);
  pm.SetCaretPos(c, 12, 12);
  pm.ShowCaret(1);
  ASSERT_EQ(pm.GetHoverControl(), c);
  ASSERT_EQ(pm.GetFocusControl(), c);
  ASSERT_TRUE(pm.RemoveControl(c));
  EXPECT_EQ(pm.GetHoverControl(), nullptr);
  EXPECT_EQ(pm.GetFocusControl(), nullptr);
  EXPECT_EQ(pm.GetCurrentCaretObject(), nullptr);
  EXPECT_EQ(pm.GetWindowTimerId(c, 1), 0u);
  EXPECT_EQ(pm.DeleteMTimer(c), 0);
  EXPECT_FALSE(pm.RemoveControl(c));
  m_ws.AdvanceTime(500);  // timers and ticks fire without touching the deleted control
  m_ws.MouseMove(Screen(30, 30));
}

TEST_F(ControlModelTest, ControlTimersSkipTheOverlayAndCaretIdsAndRestartWhenKilled) {
  auto& pm = dlg.GetPaintManager();
  std::vector<RecordingControl*> controls;
  std::set<UINT> ids;
  for (int i = 0; i < 235; ++i) {
    controls.push_back(Add(1000 + i, CRect()));
    ASSERT_EQ(pm.SetTimer(controls.back(), 7, 1000), 1) << i;
    ids.insert(pm.GetWindowTimerId(controls.back(), 7));
  }
  EXPECT_EQ(ids.size(), 235u) << "no two live timers share an ID";
  for (UINT reserved : {0u, 66u, 88u, 99u, 6553u}) EXPECT_EQ(ids.count(reserved), 0u) << reserved;
  auto* extra = Add(2000, CRect());
  EXPECT_EQ(pm.SetTimer(extra, 1, 10), 1) << "the 236th fits";
  EXPECT_EQ(pm.SetTimer(Add(2001, CRect()), 1, 10), 0) << "no free ID is left in the cycle";
  EXPECT_EQ(pm.SetTimer(extra, 1, 10), 0) << "a running timer is not restarted";
  const UINT id = pm.GetWindowTimerId(extra, 1);
  EXPECT_EQ(pm.KillTimer(extra, 1), 1);
  EXPECT_EQ(pm.SetTimer(extra, 1, 10), 1);
  EXPECT_EQ(pm.GetWindowTimerId(extra, 1), id) << "a restart keeps the window timer ID";
  log.clear();
  m_ws.AdvanceTime(10);
  EXPECT_EQ(log, std::vector<std::string>({"2000 timer"}));
}

TEST_F(ControlModelTest, SharedTickReachesOnlyVisibleRunningControlsWithVisibleParents) {
  auto& pm = dlg.GetPaintManager();
  auto* running = Add(101, CRect(0, 0, 10, 10));
  auto* idle = Add(102, CRect(0, 0, 10, 10));
  auto* hidden = Add(103, CRect(0, 0, 10, 10));
  auto* parent = Add(104, CRect(0, 0, 50, 50));
  auto* child = Add(105, CRect(0, 0, 10, 10), parent);
  for (RecordingControl* c : {running, hidden, child}) c->SetRunTimer(1);
  hidden->SetVisible(0);
  parent->SetVisible(0);
  for (RecordingControl* c : {running, idle, hidden, child}) pm.AddMTimer(c);
  pm.AddMTimer(running);  // a second registration does not double the ticks
  ASSERT_NE(pm.SetMTimer(10), 0u);
  log.clear();
  m_ws.AdvanceTime(25);
  EXPECT_EQ(log, std::vector<std::string>({"101 timer", "101 timer"}));
  EXPECT_EQ(pm.DeleteMTimer(running), 1);
  log.clear();
  m_ws.AdvanceTime(20);
  EXPECT_TRUE(log.empty());
}

TEST_F(ControlModelTest, FactoryBuildsListedRegisteredClassesOnly) {
  auto& pm = dlg.GetPaintManager();
  const size_t before = pm.GetAreas().size() + pm.GetControls().size();
  EXPECT_EQ(dlg.CreateControl(L"", 1, CRect(), nullptr, 1, 1), nullptr);
  EXPECT_EQ(dlg.CreateControl(nullptr, 1, CRect(), nullptr, 1, 1), nullptr);
  EXPECT_EQ(dlg.CreateControl(L"NoSuchControl", 1, CRect(), nullptr, 1, 1), nullptr);
  EXPECT_EQ(dlg.CreateControl(L"carea", 1, CRect(), nullptr, 1, 1), nullptr) << "names are case-sensitive";
  EXPECT_EQ(dlg.CreateControl(L"KeyFuncControl", 1, CRect(), nullptr, 1, 1), nullptr) << "panels only";
  EXPECT_EQ(pm.GetAreas().size() + pm.GetControls().size(), before) << "nothing was added";
  EXPECT_TRUE(vela::ControlFactory::IsListed(L"KeyFuncControl", vela::ControlContainer::Panel));
  EXPECT_FALSE(vela::ControlFactory::IsListed(L"BatteryCtrl", vela::ControlContainer::Panel));
  EXPECT_TRUE(vela::ControlFactory::IsListed(L"BatteryCtrl", vela::ControlContainer::Dialog));
  EXPECT_FALSE(vela::ControlFactory::Register(L"NoSuchControl", [](vela::MObject*, UINT, CRect, const wchar_t*, int, int) -> MControl* {
    return nullptr;
  }));
  MControl* area = dlg.CreateArea(L"CArea", 5, CRect(0, 0, 50, 50), nullptr, 1, 0);
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(area->GetManager(), &pm);
  EXPECT_EQ(area->GetParentObject(), static_cast<vela::MObject*>(&dlg));
  EXPECT_EQ(area->IsEnabled(), 1) << "CArea's shape passes enabled 1";
  EXPECT_EQ(pm.GetAreas().back(), area);
  EXPECT_EQ(dlg.GetControl(5), area);
}

TEST_F(ControlModelTest, AreaBlendsItsFillOverTheBackground) {
  auto* area = static_cast<vela::CArea*>(dlg.CreateArea(L"CArea", 5, CRect(0, 0, 100, 100), nullptr, 1, 1));
  ASSERT_NE(area, nullptr);
  dlg.GetPaintManager().SetBackColor(0x000000, 0x000000);
  area->SetTransparent(80, 80, MakeColorRef(255, 255, 255));
  m_ws.AdvanceTime(20);
  const uint32_t p = m_ws.PixelAt(dlg.GetSafeHwnd(), 50, 50);
  EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 51, 1) << "20% white over black";
  area->SetTransparent(0, 0, MakeColorRef(0, 0, 255));
  area->SetFrame(1, 0xFFFF0000);
  m_ws.AdvanceTime(20);
  EXPECT_EQ(m_ws.PixelAt(dlg.GetSafeHwnd(), 0, 50) & 0xFFFFFF, 0xFF0000u) << "frame ring";
  EXPECT_EQ(m_ws.PixelAt(dlg.GetSafeHwnd(), 50, 50) & 0xFFFFFF, 0x0000FFu) << "fill inside";
}

TEST_F(ControlModelTest, CaretBlinksInTheTextColourOfTheFocusedEdit) {
  auto& pm = dlg.GetPaintManager();
  auto* edit = Add(120, CRect(10, 10, 200, 40));
  edit->fill = 0xFF000000;
  edit->SetTextColor(0xFF20C0FF);
  pm.CreateCaret(2, 14);
  pm.SetCaretPos(edit, 30, 18);
  pm.ShowCaret(1);
  m_ws.PumpMessages();
  const platform::WindowId w = dlg.GetSafeHwnd();
  EXPECT_EQ(m_ws.PixelAt(w, 30, 20), 0xFF000000u) << "no caret while the edit is not focused";
  pm.SetFocusControl(edit);
  pm.ShowCaret(1);
  m_ws.PumpMessages();
  const uint32_t shown = m_ws.PixelAt(w, 31, 25);
  EXPECT_NEAR(static_cast<int>((shown >> 8) & 0xFF), 0xC0, 2) << "the edit's text colour";
  EXPECT_EQ(m_ws.PixelAt(w, 32, 25), 0xFF000000u) << "two pixels wide";
  m_ws.AdvanceTime(vela::PaintManager::kCaretBlinkMs);
  EXPECT_EQ(m_ws.PixelAt(w, 31, 25), 0xFF000000u) << "the blink's hidden phase";
  m_ws.AdvanceTime(vela::PaintManager::kCaretBlinkMs);
  EXPECT_EQ(m_ws.PixelAt(w, 31, 25), shown);
}

TEST_F(ControlModelTest, FontFilesAddedUnderAFaceNameSelectTheirFamily) {
  auto& pm = dlg.GetPaintManager();
  EXPECT_FALSE(pm.AddTempFont(L"Brand", L"/nonexistent/brand.otf"));
  EXPECT_EQ(pm.FindTempFont(L"Brand"), L"Brand") << "an unknown face stays itself";
  const std::wstring file = L"/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
  if (!std::filesystem::exists(std::filesystem::path(WideToUtf8(file)))) GTEST_SKIP() << "fonts-noto-cjk is not installed";
  ASSERT_TRUE(pm.AddTempFont(L"Brand", file));
  EXPECT_TRUE(pm.FindTempFont(L"Brand").starts_with(L"Noto Sans")) << WideToUtf8(pm.FindTempFont(L"Brand"));
  EXPECT_GT(vela::Canvas::MeasureText(L"Keyloft", vela::Font{pm.FindTempFont(L"Brand"), 14, 0}).cx, 0);
}

}  // namespace
}  // namespace kl::test
