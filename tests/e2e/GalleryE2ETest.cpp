// The gallery under a real X server, driven with XTest: clicks in a frameless window, a modal
// child, a menu, the combo drop-down and a screenshot compared with the off-screen render; and
// the X11 window system's click-through windows and restacking. Skipped without DISPLAY.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "base/Encoding.h"
#include "platform/x11/X11WindowSystem.h"
#include "tests/TestSupport.h"
#include "velaui/core/Image.h"

// Xlib's macros (None, Bool, Status) clash with GoogleTest's names: X comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

extern char** environ;

namespace kl::test {
namespace {

using Clock = std::chrono::steady_clock;

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  int cx() const { return x + w / 2; }
  int cy() const { return y + h / 2; }
};

Rect ParseRect(const std::string& line, size_t skipWords) {
  std::istringstream in(line);
  std::string word;
  for (size_t i = 0; i < skipWords; ++i) in >> word;
  Rect r;
  in >> r.x >> r.y >> r.w >> r.h;
  return r;
}

class GalleryE2ETest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY: the end-to-end tests need an X server";
    // Every test moves the one pointer of the display: take turns with other test processes.
    const std::string lockPath = "/tmp/kl-e2e-" + std::string(std::getenv("DISPLAY")).substr(1) + ".lock";
    m_lock = open(lockPath.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_GE(m_lock, 0);
    const auto until = Clock::now() + std::chrono::seconds(240);
    while (flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
      ASSERT_LT(Clock::now(), until) << "another test kept the display";
      usleep(50000);
    }
    // A server started without -noreset refuses connections for a moment while it resets.
    const auto connectUntil = Clock::now() + std::chrono::seconds(5);
    while (!(m_dpy = XOpenDisplay(nullptr)) && Clock::now() < connectUntil) usleep(100000);
    ASSERT_NE(m_dpy, nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(m_dpy, &event, &error, &major, &minor)) << "XTest is needed";
    MovePointer(1, 1);
  }

  void TearDown() override {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      int status = 0;
      waitpid(m_pid, &status, 0);
    }
    if (m_out >= 0) close(m_out);
    if (m_dpy) XCloseDisplay(m_dpy);
    if (m_lock >= 0) close(m_lock);
  }

  void Start(std::vector<std::string> extra = {}) {
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<std::string> args = {KL_GALLERY, "--still", "--exit-after", "60000"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&m_pid, KL_GALLERY, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    m_out = pipeFds[0];
    m_window = ParseRect(WaitFor("ready"), 1);
    ASSERT_GT(m_window.w, 0);
  }

  // The next line starting with `prefix` (earlier lines are kept for later waits); fails after 15 s.
  std::string WaitFor(const std::string& prefix) {
    const auto until = Clock::now() + std::chrono::seconds(15);
    for (;;) {
      for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].rfind(prefix, 0) == 0) {
          std::string line = m_lines[i];
          m_lines.erase(m_lines.begin() + static_cast<ptrdiff_t>(i));
          return line;
        }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      if (left <= 0) {
        ADD_FAILURE() << "the gallery did not report \"" << prefix << "\"";
        return {};
      }
      pollfd p{m_out, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(m_out, buffer, sizeof buffer);
      if (n <= 0) {
        ADD_FAILURE() << "the gallery ended before reporting \"" << prefix << "\"";
        return {};
      }
      m_partial.append(buffer, static_cast<size_t>(n));
      for (size_t nl; (nl = m_partial.find('\n')) != std::string::npos;) {
        m_lines.push_back(m_partial.substr(0, nl));
        m_partial.erase(0, nl + 1);
      }
    }
  }

  Rect ButtonRect(int id) { return ParseRect(WaitFor("button " + std::to_string(id) + " "), 2); }

  void MovePointer(int x, int y) {
    XTestFakeMotionEvent(m_dpy, -1, x, y, 0);
    XSync(m_dpy, False);
    usleep(30000);
  }
  void Click(int x, int y) {
    MovePointer(x, y);
    XTestFakeButtonEvent(m_dpy, 1, True, 0);
    XSync(m_dpy, False);
    usleep(30000);
    XTestFakeButtonEvent(m_dpy, 1, False, 0);
    XSync(m_dpy, False);
    usleep(30000);
  }

  // Our top-level window titled `title`, searched among the root's children.
  ::Window FindWindow(const std::string& title) {
    ::Window root = DefaultRootWindow(m_dpy), parent = 0, *children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    if (!XQueryTree(m_dpy, root, &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(m_dpy, children[i], &name) && name) {
        if (title == name) found = children[i];
        XFree(name);
      }
    }
    if (children) XFree(children);
    return found;
  }

  Rect ScreenRect(::Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(m_dpy, w, &a);
    int x = 0, y = 0;
    ::Window child = 0;
    XTranslateCoordinates(m_dpy, w, DefaultRootWindow(m_dpy), 0, 0, &x, &y, &child);
    return {x, y, a.width, a.height};
  }

  Display* m_dpy = nullptr;
  pid_t m_pid = -1;
  int m_out = -1;
  int m_lock = -1;
  Rect m_window;
  std::vector<std::string> m_lines;
  std::string m_partial;
};

TEST_F(GalleryE2ETest, ClickOnAButtonInTheFramelessWindow) {
  Start();
  const Rect button = ButtonRect(101);
  Click(button.cx(), button.cy());
  WaitFor("click 101");
  // The window has no frame: its client area is where the program put it.
  const ::Window w = FindWindow("VelaUI Gallery");
  ASSERT_NE(w, 0u);
  const Rect onScreen = ScreenRect(w);
  EXPECT_EQ(onScreen.x, m_window.x);
  EXPECT_EQ(onScreen.y, m_window.y);
}

TEST_F(GalleryE2ETest, MinimiseButtonTakesTheWindowOffTheScreen) {
  Start();
  const ::Window w = FindWindow("VelaUI Gallery");
  ASSERT_NE(w, 0u);
  const Rect button = ButtonRect(42);
  Click(button.cx(), button.cy());
  WaitFor("click 42");
  // Iconified by a window manager, or unmapped without one: either way not viewable.
  XWindowAttributes a{};
  const auto until = Clock::now() + std::chrono::seconds(5);
  do {
    usleep(50000);
    XGetWindowAttributes(m_dpy, w, &a);
  } while (a.map_state == IsViewable && Clock::now() < until);
  EXPECT_NE(a.map_state, IsViewable);
}

TEST_F(GalleryE2ETest, DraggingAnEmptyPartMovesTheWindowWithoutAWindowManager) {
  Start();
  const int x = m_window.x + 400, y = m_window.y + 30;  // the caption, no control there
  MovePointer(x, y);
  XTestFakeButtonEvent(m_dpy, 1, True, 0);
  XSync(m_dpy, False);
  usleep(50000);
  for (int step = 1; step <= 5; ++step) MovePointer(x + step * 20, y + step * 10);
  XTestFakeButtonEvent(m_dpy, 1, False, 0);
  XSync(m_dpy, False);
  usleep(100000);
  const ::Window w = FindWindow("VelaUI Gallery");
  ASSERT_NE(w, 0u);
  const Rect moved = ScreenRect(w);
  EXPECT_EQ(moved.x, m_window.x + 100);
  EXPECT_EQ(moved.y, m_window.y + 50);
}

TEST_F(GalleryE2ETest, ModalChildReturnsTheButtonsResult) {
  Start();
  const Rect open = ButtonRect(102);
  for (int result : {1, 2}) {
    Click(open.cx(), open.cy());
    WaitFor("modal-open");
    const Rect ok = ButtonRect(1);
    const Rect cancel = ButtonRect(2);
    // The owner is disabled while the child is up: a click on it does nothing.
    Click(open.cx(), open.cy() + 100);
    const Rect& target = result == 1 ? ok : cancel;
    Click(target.cx(), target.cy());
    EXPECT_EQ(WaitFor("modal "), "modal " + std::to_string(result));
  }
}

TEST_F(GalleryE2ETest, MenuOpensUnderItsButtonAndClosesOnAClickOutside) {
  Start();
  const Rect button = ButtonRect(103);
  Click(button.cx(), button.cy());
  const Rect menu = ParseRect(WaitFor("menu-open"), 1);
  EXPECT_EQ(menu.x, button.x);
  EXPECT_EQ(menu.y, button.y + button.h + 2);
  const ::Window w = FindWindow("Menu Window");
  ASSERT_NE(w, 0u);
  const Rect onScreen = ScreenRect(w);
  EXPECT_EQ(onScreen.x, menu.x) << "the popup is where the program put it";
  EXPECT_EQ(onScreen.y, menu.y);
  EXPECT_EQ(onScreen.w, menu.w);
  Click(m_window.x + 30, m_window.y + 100);  // on the keyboard picture, outside the menu
  WaitFor("menu-closed");
  EXPECT_EQ(FindWindow("Menu Window"), 0u);
}

TEST_F(GalleryE2ETest, ChoosingAMenuItemReportsItAndClosesTheMenu) {
  Start();
  const Rect button = ButtonRect(103);
  Click(button.cx(), button.cy());
  const Rect menu = ParseRect(WaitFor("menu-open"), 1);
  Click(menu.x + 40, menu.y + 6 + 35 + 17);  // the second item
  EXPECT_EQ(WaitFor("menu "), "menu 502");
  WaitFor("menu-closed");
}

TEST_F(GalleryE2ETest, ComboDropDownChoosesARowAndClosesOnAClickOutside) {
  Start();
  const Rect combo = ButtonRect(107);
  Click(combo.cx(), combo.cy());
  const Rect drop = ParseRect(WaitFor("combo-open"), 1);
  EXPECT_EQ(drop.x, combo.x + 4);
  EXPECT_EQ(drop.y, combo.y + combo.h + 2);
  const ::Window w = FindWindow("ComboWnd");
  ASSERT_NE(w, 0u);
  const Rect onScreen = ScreenRect(w);
  EXPECT_EQ(onScreen.x, drop.x) << "the drop-down is where the program put it";
  EXPECT_EQ(onScreen.y, drop.y);
  Click(drop.x + 40, drop.y + 6 + 30 + 15);  // the second row
  EXPECT_EQ(WaitFor("combo "), "combo 1");
  WaitFor("combo-closed");
  EXPECT_EQ(FindWindow("ComboWnd"), 0u);

  Click(combo.cx(), combo.cy());
  WaitFor("combo-open");
  Click(m_window.x + 30, m_window.y + 100);  // on the keyboard picture, outside the drop-down
  WaitFor("combo-closed");
  EXPECT_EQ(FindWindow("ComboWnd"), 0u);
  for (const std::string& line : m_lines) EXPECT_NE(line.rfind("combo ", 0), 0u) << "nothing was chosen: " << line;
}

TEST_F(GalleryE2ETest, ClickThroughWindowPassesPressesBeneathAndPlaceBehindRestacks) {
  auto ws = platform::X11WindowSystem::Open();
  ASSERT_NE(ws, nullptr);
  platform::SetWindowSystem(ws.get());
  struct Presses : platform::WindowListener {
    int count = 0;
    LRESULT OnPlatformMessage(platform::WindowId, UINT msg, WPARAM, LPARAM) override {
      if (msg == WM_LBUTTONDOWN) ++count;
      return 0;
    }
  } below, over;
  platform::WindowParams p;
  p.bounds = CRect(100, 100, 400, 400);
  const platform::WindowId wb = ws->CreateWindow(p, &below);
  p.bounds = CRect(150, 150, 350, 350);
  p.clickThrough = true;
  p.noActivate = true;
  const platform::WindowId wo = ws->CreateWindow(p, &over);
  ASSERT_NE(wb, 0u);
  ASSERT_NE(wo, 0u);
  ws->ShowWindow(wb, true);
  ws->ShowWindow(wo, true);
  // Where each of the two stands among the root's children, bottom first.
  const auto stackIndex = [&](platform::WindowId id) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    int index = -1;
    XSync(m_dpy, False);
    if (XQueryTree(m_dpy, DefaultRootWindow(m_dpy), &root, &parent, &children, &count))
      for (unsigned i = 0; i < count; ++i)
        if (children[i] == ws->NativeWindow(id)) index = static_cast<int>(i);
    if (children) XFree(children);
    return index;
  };
  const auto pump = [&](int ms, const std::function<bool()>& done) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    const platform::TickId tick = ws->StartTick(20, [](platform::TickId) {});
    ws->RunMessageLoop([&] { return !done() && Clock::now() < until; });
    ws->StopTick(tick);
  };
  pump(200, [] { return false; });
  ASSERT_GT(stackIndex(wo), stackIndex(wb)) << "the click-through window is on top";
  Click(250, 250);
  pump(2000, [&] { return below.count > 0; });
  EXPECT_EQ(below.count, 1) << "the press went through";
  EXPECT_EQ(over.count, 0);
  EXPECT_TRUE(ws->PlaceBehind(wo, wb));
  EXPECT_EQ(stackIndex(wo) + 1, stackIndex(wb)) << "directly beneath";
  ws->DestroyWindow(wo);
  ws->DestroyWindow(wb);
  platform::SetWindowSystem(nullptr);
}

TEST_F(GalleryE2ETest, ScreenshotOfTheWindowMatchesTheOffscreenRender) {
  const auto render = ScratchFolder() / "render.png";
  Start({"--render", render.string()});
  auto expected = vela::Image::LoadFromFile(Wide(render));
  ASSERT_NE(expected, nullptr);
  const ::Window w = FindWindow("VelaUI Gallery");
  ASSERT_NE(w, 0u);
  XImage* shot = XGetImage(m_dpy, w, 0, 0, static_cast<unsigned>(m_window.w), static_cast<unsigned>(m_window.h), AllPlanes, ZPixmap);
  ASSERT_NE(shot, nullptr);
  ASSERT_EQ(expected->Width(), m_window.w);
  ASSERT_EQ(expected->Height(), m_window.h);
  cairo_surface_t* s = expected->Frame(0);
  cairo_surface_flush(s);
  const auto* px = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s));
  const int stride = cairo_image_surface_get_stride(s) / 4;
  int differing = 0;
  for (int y = 0; y < m_window.h; ++y)
    for (int x = 0; x < m_window.w; ++x) {
      const unsigned long screen = XGetPixel(shot, x, y);
      const uint32_t want = px[y * stride + x];
      for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((screen >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) > 2) {
          ++differing;
          break;
        }
    }
  XDestroyImage(shot);
  EXPECT_EQ(differing, 0) << "pixels that differ between the screen and the render";
}

}  // namespace
}  // namespace kl::test
