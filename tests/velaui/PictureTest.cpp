// Skin images, the image cache, pictures with their show modes, GIF animation and image lists.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include "tests/TestSupport.h"
#include "tests/velaui/HeadlessFixture.h"
#include "velaui/core/CGifPicture.h"
#include "velaui/core/CKeyboardTips.h"
#include "velaui/core/LoadingWnd.h"
#include "velaui/core/MDialog.h"
#include "velaui/core/MImageList.h"
#include "velaui/core/MPicture.h"

namespace kl::test {
namespace {

using vela::MPicture;

// Writes a PNG of w x h whose columns take the colours in `columns` in turn (premultiplied opaque).
void WriteStrip(const std::filesystem::path& path, int w, int h, std::vector<uint32_t> columns) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
  const int stride = cairo_image_surface_get_stride(s) / 4;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[y * stride + x] = columns[static_cast<size_t>(x) * columns.size() / w];
  cairo_surface_mark_dirty(s);
  std::filesystem::create_directories(path.parent_path());
  ASSERT_EQ(cairo_surface_write_to_png(s, path.c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(s);
}

void WriteGif(const std::filesystem::path& path, int frames) {
  std::filesystem::create_directories(path.parent_path());
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  ASSERT_NE(gif, nullptr);
  GifColorType colors[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, 2, 2, 8, 0, map);
  for (int f = 0; f < frames; ++f) {
    EGifPutImageDesc(gif, 0, 0, 2, 2, false, nullptr);
    GifPixelType line[2] = {static_cast<GifPixelType>(f % 4), static_cast<GifPixelType>(f % 4)};
    EGifPutLine(gif, line, 2);
    EGifPutLine(gif, line, 2);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
}

class PictureTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    skins = ScratchFolder();
    vela::Manager::SetSkinFolder(Wide(skins));
    WriteStrip(skins / "strip120.png", 120, 10, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    WriteStrip(skins / "icon" / "two.png", 4, 4, {0xFFFF0000, 0xFF00FF00});
    WriteGif(skins / "loading" / "loading.gif", 3);
    ASSERT_NE(dlg.Create(0, L"Pictures", vela::WS_VISIBLE, 0, CRect(0, 0, 200, 100)), 0u);
    pm().SetBackColor(0, 0);
  }
  void TearDown() override {
    dlg.DestroyWindow();
    HeadlessTest::TearDown();
  }
  vela::PaintManager& pm() { return dlg.GetPaintManager(); }
  template <class T>
  T* Make(const wchar_t* cls, CRect rect) {
    return dynamic_cast<T*>(dlg.CreateControl(cls, 9, rect, nullptr, 1, 1));
  }
  uint32_t Rendered(int x, int y) {
    auto canvas = pm().RenderToCanvas();
    return canvas ? canvas->PixelAt(x, y) : 0;
  }
  std::filesystem::path skins;
  vela::MDialog dlg;
};

TEST_F(PictureTest, StripFramesAreTheWidthDividedByTheCount) {
  struct Case {
    int count, frameWidth;
  };
  for (const Case& k : {Case{4, 30}, Case{7, 17}, Case{1, 120}, Case{0, 120}, Case{-3, 120}}) {
    const vela::ImgResInfo* info = pm().AddImgResInfo(L"strip120.png", k.count);
    ASSERT_NE(info, nullptr) << k.count;
    EXPECT_EQ(info->frameWidth, k.frameWidth) << k.count;
    EXPECT_EQ(info->height, 10);
  }
  EXPECT_EQ(pm().AddImgResInfo(L"strip120.png", 4), pm().AddImgResInfo(L"strip120.png", 4)) << "cached";
  EXPECT_EQ(pm().AddImgResInfo(L"strip120.png", 4)->image, pm().AddImgResInfo(L"strip120.png", 7)->image) << "decoded once";
  EXPECT_EQ(pm().AddImgResInfo(L"missing.png", 1), nullptr);
  WriteStrip(skins / "missing.png", 2, 2, {0xFF000000});
  EXPECT_NE(pm().AddImgResInfo(L"missing.png", 1), nullptr) << "a failed load was not cached";
  EXPECT_NE(pm().AddImgResInfo(L"icon//two.png", 1), nullptr) << "program-style sub-folder names";
  EXPECT_NE(pm().AddImgResInfo(L"icon\\two.png", 1), nullptr);
}

TEST_F(PictureTest, ShowModesPlaceTheImage) {
  auto* pic = Make<MPicture>(L"MPicture", CRect(10, 10, 30, 30));
  ASSERT_NE(pic, nullptr);
  ASSERT_EQ(pic->SetImage(L"icon/two.png", 1), 1);  // 4x4: left half red, right half green
  struct Case {
    int mode;
    int hAlign, vAlign;
    std::vector<std::pair<CPoint, uint32_t>> probes;
  };
  const Case cases[] = {
      {vela::SHOW_MODE_STRETCH, 0, 0, {{{10, 10}, 0xFFFF0000}, {{29, 29}, 0xFF00FF00}, {{15, 20}, 0xFFFF0000}, {{24, 20}, 0xFF00FF00}}},
      {vela::SHOW_MODE_NORMAL, 1, 4, {{{18, 18}, 0xFFFF0000}, {{21, 21}, 0xFF00FF00}, {{17, 18}, 0u}, {{10, 10}, 0u}}},
      {vela::SHOW_MODE_NORMAL, 2, 8, {{{26, 26}, 0xFFFF0000}, {{29, 29}, 0xFF00FF00}, {{25, 29}, 0u}}},
      {vela::SHOW_MODE_TILE, 0, 0, {{{10, 10}, 0xFFFF0000}, {{14, 10}, 0xFFFF0000}, {{16, 10}, 0xFF00FF00}, {{26, 29}, 0xFFFF0000}, {{28, 29}, 0xFF00FF00}}},
      {vela::SHOW_MODE_SOURCE, 0, 0, {{{20, 20}, 0u}}},  // no source rectangle: nothing
  };
  for (const Case& k : cases) {
    pic->SetShowMode(k.mode, 0);
    pic->SetAlignment(k.hAlign, k.vAlign);
    // 0 in the table stands for "the window background shows here".
    const uint32_t background = Rendered(190, 90);
    for (const auto& [p, expected] : k.probes)
      EXPECT_EQ(Rendered(p.x, p.y), expected ? expected : background) << "mode " << k.mode << " at " << p.x << "," << p.y;
  }
  pic->SetSourceRect(CRect(2, 0, 4, 4));
  EXPECT_EQ(Rendered(10, 10), 0xFF00FF00u) << "mode 5 stretches the stored source";
  EXPECT_EQ(pic->SetShowMode(vela::SHOW_MODE_SOURCE, 0), 0) << "unchanged";
  EXPECT_EQ(pic->SetShowMode(vela::SHOW_MODE_FRAME, 1), 1);
  EXPECT_EQ(pic->SetShowMode(vela::SHOW_MODE_FRAME, 1), 0);
  EXPECT_EQ(pic->SetShowMode(vela::SHOW_MODE_FRAME, 2), 1) << "mode 3 also compares the border";
}

TEST_F(PictureTest, GifAdvancesEveryFifthTickAndWraps) {
  auto* gif = Make<vela::CGifPicture>(L"CGifPicture", CRect(0, 0, 20, 20));
  ASSERT_NE(gif, nullptr);
  ASSERT_EQ(gif->SetImage(L"loading\\loading.gif", 1), 1);
  EXPECT_EQ(gif->GetFrameTotal(), 3);
  EXPECT_TRUE(gif->IsRunTimer());
  gif->SetRunState(1, 0);
  gif->AddMTimer();
  pm().SetMTimer(10);
  const int expected[] = {0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 0};
  for (int tick = 0; tick < 15; ++tick) {
    m_ws.AdvanceTime(10);
    EXPECT_EQ(gif->GetFrame(), expected[tick]) << "tick " << tick + 1;
  }
  EXPECT_EQ(m_ws.PixelAt(dlg.GetSafeHwnd(), 5, 5), 0xFFFF0000u) << "frame 0 of the GIF is on the screen";
  gif->SetRunState(0, 1);
  m_ws.AdvanceTime(200);
  EXPECT_EQ(gif->GetFrame(), 1);
  EXPECT_EQ(m_ws.PixelAt(dlg.GetSafeHwnd(), 5, 5), 0xFF00FF00u);
  auto* still = Make<vela::CGifPicture>(L"CGifPicture", CRect(0, 0, 20, 20));
  still->SetImage(L"icon/two.png", 1);
  still->SetRunState(1, 0);
  EXPECT_FALSE(still->IsRunning()) << "a single frame does not run";
}

TEST_F(PictureTest, GifCanRunOnlyWhileThePointerIsOverIt) {
  auto* gif = Make<vela::CGifPicture>(L"CGifPicture", CRect(0, 0, 20, 20));
  gif->SetImage(L"loading/loading.gif", 1);
  gif->SetRunOnHover(1);
  m_ws.MouseMove({5, 5});
  EXPECT_TRUE(gif->IsRunning());
  m_ws.MouseMove({100, 50});
  EXPECT_FALSE(gif->IsRunning());
  EXPECT_EQ(gif->GetFrame(), 0);
}

TEST_F(PictureTest, ImageListInsertsByPositionAndClampsStates) {
  vela::MImageList list;
  EXPECT_EQ(list.AddImage(L"strip120.png", 10, 4), 0);
  EXPECT_EQ(list.AddImage(L"nothing.png", 11, 1), 1);
  struct Case {
    int pos;
    const wchar_t* path;
    int result;
  };
  for (const Case& k : {Case{-1, L"icon/two.png", 2}, Case{0, L"icon/two.png", 0}, Case{9, L"icon/two.png", -1}, Case{-2, L"icon/two.png", -1},
                        Case{1, L"", -1}})
    EXPECT_EQ(list.InsertImage(k.pos, k.path, 20, 2), k.result) << k.pos;
  EXPECT_EQ(list.GetImageCount(), 4);
  EXPECT_EQ(list.GetImagePathByID(11), L"nothing.png");
  EXPECT_EQ(list.GetImageDataByID(11)->image, nullptr) << "a missing file keeps a null image";
  EXPECT_EQ(list.GetImagePath(7), L"");
  vela::Canvas c(30, 10);
  list.DrawItemIcon(c, CRect(0, 0, 30, 10), 1, 99);  // strip of 4 frames, state beyond the last
  EXPECT_EQ(c.PixelAt(15, 5), 0xFFFFFFFFu) << "the last frame";
  list.DrawItemIcon(c, CRect(0, 0, 30, 10), 2);  // the missing image draws nothing
  EXPECT_EQ(c.PixelAt(15, 5), 0xFFFFFFFFu);
  list.DelAllImages();
  EXPECT_EQ(list.GetImageCount(), 0);
}

TEST_F(PictureTest, LoadingWindowCyclesThroughTheAnimationAndNeedsOne) {
  vela::LoadingWnd loading;
  ASSERT_TRUE(loading.Create(dlg.GetSafeHwnd(), &pm(), CRect(100, 100, 200, 200)));
  EXPECT_EQ(loading.GetFrameTotal(), 3);
  EXPECT_EQ(m_ws.GetActiveWindow(), dlg.GetSafeHwnd()) << "the indicator does not take the focus";
  m_ws.AdvanceTime(100);  // the GIF's frames have no delay of their own: 100 ms each
  EXPECT_EQ(loading.GetFrame(), 1);
  m_ws.AdvanceTime(200);
  EXPECT_EQ(loading.GetFrame(), 0) << "wrapped";
  EXPECT_EQ(m_ws.PixelAt(loading.GetSafeHwnd(), 50, 50), 0xFFFF0000u) << "frame 0 of the GIF is on the screen";
  const auto empty = ScratchFolder() / "empty";
  std::filesystem::create_directories(empty);
  vela::Manager::SetSkinFolder(Wide(empty));
  vela::MDialog other;
  ASSERT_NE(other.Create(0, L"Other", 0, 0, CRect(0, 0, 50, 50)), 0u);
  vela::LoadingWnd none;
  EXPECT_FALSE(none.Create(other.GetSafeHwnd(), &other.GetPaintManager(), CRect(0, 0, 10, 10)));
  EXPECT_FALSE(none.IsWindow());
}

TEST_F(PictureTest, WindowIconComesFromASkinFile) {
  EXPECT_TRUE(dlg.SetIcon(L"icon/two.png"));
  EXPECT_FALSE(dlg.SetIcon(L"missing.ico"));
  vela::MDialog unmade;
  EXPECT_FALSE(unmade.SetIcon(L"icon/two.png"));
}

TEST_F(PictureTest, KeyTipSitsWithItsBottomCentreOnTheAnchor) {
  WriteStrip(skins / "img_tip_bk.png", 24, 24, {0xFF232831});
  vela::CKeyboardTips tips;
  ASSERT_TRUE(tips.Create(dlg.GetSafeHwnd(), &pm()));
  EXPECT_EQ(m_ws.FindWindows(L"VelaClient", L"KeyboardTip Window").size(), 1u);
  EXPECT_EQ(tips.SetBalloonMsg(L"Esc", nullptr, L"Escape", {500, 400}), 1);
  EXPECT_EQ(tips.GetWindowRect(), CRect(405, 300, 595, 400));
  tips.ShowWindow(vela::SW_SHOWNOACTIVATE);
  m_ws.PumpMessages();
  EXPECT_EQ(m_ws.GetActiveWindow(), dlg.GetSafeHwnd());
  const int presents = m_ws.PresentCount(tips.GetSafeHwnd());
  EXPECT_GT(presents, 0);
  EXPECT_EQ(tips.SetBalloonMsg(L"Esc", L"", L"Escape", {500, 400}), 1);
  m_ws.PumpMessages();
  EXPECT_EQ(m_ws.PresentCount(tips.GetSafeHwnd()), presents) << "nothing changed: no repaint";
  vela::CKeyboardTips unmade;
  EXPECT_EQ(unmade.SetBalloonMsg(L"A", L"B", L"C", {1, 1}), 0);
}

}  // namespace
}  // namespace kl::test
