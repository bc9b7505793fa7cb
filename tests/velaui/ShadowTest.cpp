// The drop shadow of a dialog: it follows the dialog, lets the pointer through and draws the
// soft shadow or the nine-grid picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/TestSupport.h"
#include "tests/velaui/HeadlessFixture.h"
#include "velaui/core/MDialog.h"
#include "velaui/core/MRender.h"

namespace kl::test {
namespace {

using platform::WindowId;

class ShadowTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    ASSERT_NE(back.Create(0, L"Back", vela::WS_VISIBLE, 0, CRect(0, 0, 800, 600)), 0u);
    ASSERT_NE(dlg.Create(back.GetSafeHwnd(), L"Dialog", vela::WS_VISIBLE, 0, kDialog), 0u);
  }
  WindowId Shadow() {
    const auto found = m_ws.FindWindows(L"ShadowWnd", L"");
    return found.size() == 1 ? found[0] : 0;
  }
  // Alpha of the shadow's presented pixel (shadow window coordinates).
  int Alpha(int x, int y) { return static_cast<int>(m_ws.PixelAt(Shadow(), x, y) >> 24); }
  void ExpectBeneathTheDialog() {
    const auto order = m_ws.StackingOrder();
    const auto at = [&](WindowId w) { return std::find(order.begin(), order.end(), w) - order.begin(); };
    EXPECT_EQ(at(Shadow()) + 1, at(dlg.GetSafeHwnd())) << "directly beneath its dialog";
  }

  static constexpr CRect kDialog{100, 100, 300, 200};
  vela::MDialog back;
  vela::MDialog dlg;
};

TEST_F(ShadowTest, FollowsTheDialogsPlaceVisibilityAndStacking) {
  ASSERT_EQ(dlg.CreateShadow(1), 1);
  ASSERT_NE(Shadow(), 0u);
  // Defaults: sharpness 5 around the dialog, moved by (5, 5).
  EXPECT_EQ(m_ws.GetWindowBounds(Shadow()), CRect(100, 100, 310, 210));
  EXPECT_TRUE(m_ws.IsWindowVisible(Shadow()));
  EXPECT_TRUE(m_ws.IsLayered(Shadow()));
  ExpectBeneathTheDialog();

  struct Step {
    const char* what;
    std::function<void()> act;
    bool visible;
  };
  const Step steps[] = {
      {"move", [&] { dlg.MoveWindow(CRect(400, 300, 600, 400)); }, true},
      {"resize", [&] { dlg.MoveWindow(CRect(400, 300, 700, 450)); }, true},
      {"hide", [&] { dlg.ShowWindow(vela::SW_HIDE); }, false},
      {"show", [&] { dlg.ShowWindow(vela::SW_SHOW); }, true},
      {"another window raised over it", [&] { back.BringToTop(); }, true},
      {"raised again", [&] { dlg.BringToTop(); }, true},
      {"minimise", [&] { dlg.ShowWindow(vela::SW_MINIMIZE); }, false},
      {"restore", [&] { dlg.ShowWindow(vela::SW_RESTORE); }, true},
      {"made topmost", [&] { dlg.SetTopmost(true); }, true},
      {"an ordinary window raised", [&] { back.BringToTop(); }, true},
      {"ordinary again", [&] { dlg.SetTopmost(false); }, true},
  };
  for (const Step& s : steps) {
    s.act();
    m_ws.PumpMessages();
    SCOPED_TRACE(s.what);
    const CRect d = dlg.GetWindowRect();
    EXPECT_EQ(m_ws.GetWindowBounds(Shadow()), CRect(d.left, d.top, d.right + 10, d.bottom + 10));
    EXPECT_EQ(m_ws.IsWindowVisible(Shadow()), s.visible);
    if (s.visible) ExpectBeneathTheDialog();
  }
  dlg.DestroyWindow();
  EXPECT_EQ(Shadow(), 0u) << "the shadow goes with its dialog";
}

TEST_F(ShadowTest, PressesOnTheShadowReachTheWindowBeneath) {
  struct Clicks : vela::MDialog {
    int presses = 0;
    int OnLButtonDown(UINT, CPoint) override { return ++presses; }
  } under;
  ASSERT_NE(under.Create(0, L"Under", vela::WS_VISIBLE, 0, CRect(0, 0, 800, 600)), 0u);
  dlg.BringToTop();
  ASSERT_EQ(dlg.CreateShadow(1), 1);
  const CRect s = m_ws.GetWindowBounds(Shadow());
  m_ws.Click({s.right - 2, s.bottom - 2});  // shadow only, outside the dialog
  EXPECT_EQ(under.presses, 1);
  EXPECT_NE(m_ws.GetActiveWindow(), Shadow()) << "it never takes activation";
}

TEST_F(ShadowTest, SoftShadowRampsOutwardsAndLeavesTheDialogClear) {
  ASSERT_EQ(dlg.CreateShadow(1), 1);
  m_ws.PumpMessages();
  // Shadow window (100,100)-(310,210): the dialog covers (0,0)-(200,100), the core is
  // (5,5)-(205,105), the soft band the last 5 pixels on each side.
  EXPECT_EQ(Alpha(100, 50), 0) << "under the dialog";
  EXPECT_EQ(Alpha(5, 99), 0) << "under the dialog";
  for (int x = 200; x < 205; ++x) EXPECT_EQ(Alpha(x, 50), 150) << "full darkness in the core at x " << x;
  for (int y = 100; y < 105; ++y) EXPECT_EQ(Alpha(50, y), 150) << "full darkness in the core at y " << y;
  int previous = 150;
  for (int d = 0; d < 5; ++d) {
    const int right = Alpha(205 + d, 50);
    const int bottom = Alpha(50, 105 + d);
    EXPECT_LT(right, previous) << "falls at every step outwards, step " << d;
    EXPECT_GT(right, 0) << "step " << d;
    EXPECT_EQ(bottom, right) << "the same ramp on every side";
    previous = right;
  }
  EXPECT_LT(Alpha(209, 109), Alpha(209, 50)) << "corners are softer than edges";
  const uint32_t p = m_ws.PixelAt(Shadow(), 202, 50);
  EXPECT_EQ(p & 0xFFFFFF, 0u) << "black by default";
}

TEST_F(ShadowTest, SettingsAreClampedAndChangeThePicture) {
  struct Case {
    std::function<void()> set;
    int darkness, sharpness, size;
    CPoint offset;
  };
  const Case cases[] = {
      {[&] { dlg.SetDarkness(400); }, 255, 5, 0, {5, 5}},
      {[&] { dlg.SetDarkness(-1); }, 0, 5, 0, {5, 5}},
      {[&] { dlg.SetSharpness(99); }, 150, 35, 0, {5, 5}},
      {[&] { dlg.SetSharpness(-3); }, 150, 0, 0, {5, 5}},
      {[&] { dlg.SetSize(-50); }, 150, 5, -35, {5, 5}},
      {[&] { dlg.SetSize(36); }, 150, 5, 35, {5, 5}},
      {[&] { dlg.SetPosition(-50, 40); }, 150, 5, 0, {-35, 35}},
  };
  for (const Case& k : cases) {
    // A fresh dialog and shadow for every case.
    dlg.DestroyWindow();
    ASSERT_NE(dlg.Create(0, L"Dialog", vela::WS_VISIBLE, 0, kDialog), 0u);
    ASSERT_EQ(dlg.CreateShadow(1), 1);
    k.set();
    m_ws.PumpMessages();
    const int grow = k.size + k.sharpness;
    const CRect want(100 - grow + k.offset.x, 100 - grow + k.offset.y, 300 + grow + k.offset.x, 200 + grow + k.offset.y);
    ASSERT_EQ(m_ws.GetWindowBounds(Shadow()), want);
    if (k.size >= 0 && k.offset.x == 5) {
      // The core's last column right of the dialog, half-way down: the full darkness.
      EXPECT_EQ(Alpha(want.Width() - k.sharpness - 1, want.Height() / 2), k.darkness);
    }
  }
}

TEST_F(ShadowTest, HardEdgeAndColour) {
  ASSERT_EQ(dlg.CreateShadow(1), 1);
  dlg.SetSharpness(0);
  dlg.SetShadowColor(MakeColorRef(0xFF, 0, 0));
  m_ws.PumpMessages();
  // Window (105,105)-(305,205); the dialog covers (0,0)-(195,95) of it.
  EXPECT_EQ(m_ws.GetWindowBounds(Shadow()), CRect(105, 105, 305, 205));
  for (const CPoint p : {CPoint{199, 50}, CPoint{196, 99}, CPoint{50, 96}, CPoint{0, 99}})
    EXPECT_EQ(m_ws.PixelAt(Shadow(), p.x, p.y), 0x96960000u) << p.x << "," << p.y << ": red at darkness 150, premultiplied";
  EXPECT_EQ(m_ws.PixelAt(Shadow(), 194, 94), 0u);
}

TEST_F(ShadowTest, NoCompositorNoShadowAndHiddenOnRequest) {
  m_ws.SetCompositor(false);
  ASSERT_EQ(dlg.CreateShadow(1), 1);
  EXPECT_FALSE(m_ws.IsWindowVisible(Shadow())) << "an opaque block would be worse than none";
  m_ws.SetCompositor(true);
  dlg.SetShadowShow(1);
  EXPECT_TRUE(m_ws.IsWindowVisible(Shadow()));
  dlg.SetShadowShow(0);
  EXPECT_FALSE(m_ws.IsWindowVisible(Shadow()));
  dlg.MoveWindow(CRect(0, 0, 100, 100));
  EXPECT_FALSE(m_ws.IsWindowVisible(Shadow())) << "stays hidden while switched off";
}

TEST_F(ShadowTest, NineGridPictureReachesItsBordersBeyondTheDialog) {
  const auto skins = ScratchFolder();
  vela::Manager::SetSkinFolder(Wide(skins));
  // 30 x 30: red 10-pixel corners, green edges, blue centre.
  vela::Canvas picture(30, 30);
  picture.FillRect(CRect(0, 0, 30, 30), 0xFF00FF00);
  picture.FillRect(CRect(10, 10, 20, 20), 0xFF0000FF);
  for (const CRect& c : {CRect(0, 0, 10, 10), CRect(20, 0, 30, 10), CRect(0, 20, 10, 30), CRect(20, 20, 30, 30)})
    picture.FillRect(c, 0xFFFF0000);
  ASSERT_TRUE(vela::MRender::SavePng(picture, Wide(skins / "shadow.png")));
  ASSERT_EQ(dlg.CreateShadow(1), 1);
  EXPECT_FALSE(dlg.SetShadowImage(L"missing.png", CRect(10, 10, 10, 10)));
  EXPECT_FALSE(dlg.SetShadowImage(L"shadow.png", CRect(10, -1, 10, 10)));
  EXPECT_EQ(m_ws.GetWindowBounds(Shadow()), CRect(100, 100, 310, 210)) << "the soft shadow stays";
  ASSERT_TRUE(dlg.SetShadowImage(L"shadow.png", CRect(10, 10, 10, 10)));
  m_ws.PumpMessages();
  // Dialog (100,100)-(300,200) grown by 10, moved by (5, 5): the dialog sits at (5,5) inside.
  ASSERT_EQ(m_ws.GetWindowBounds(Shadow()), CRect(95, 95, 315, 215));
  EXPECT_EQ(m_ws.PixelAt(Shadow(), 0, 0), 0xFFFF0000u);
  EXPECT_EQ(m_ws.PixelAt(Shadow(), 219, 119), 0xFFFF0000u);
  EXPECT_EQ(m_ws.PixelAt(Shadow(), 110, 2), 0xFF00FF00u) << "edges stretch along";
  EXPECT_EQ(m_ws.PixelAt(Shadow(), 207, 107), 0xFF0000FFu) << "the centre shows where the dialog does not cover it";
  EXPECT_EQ(m_ws.PixelAt(Shadow(), 100, 50), 0u) << "cleared under the dialog";
}

}  // namespace
}  // namespace kl::test
