#include "platform/x11/X11WindowSystem.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "base/Encoding.h"
#include "platform/ClickTracker.h"
#include "platform/TimerList.h"

extern char** environ;

namespace kl::platform {

namespace {

// The last X error, recorded instead of ending the process (Xlib's default).
std::atomic<int> g_lastXError{0};
int RecordXError(Display*, XErrorEvent* e) {
  g_lastXError = e->error_code;
  return 0;
}

uint64_t SteadyMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

// Motif hints: flags (2 = decorations given), functions, decorations (0 = none), input mode, status.
struct MotifHints {
  unsigned long flags, functions, decorations;
  long inputMode;
  unsigned long status;
};

}  // namespace

struct X11WindowSystem::Impl {
  struct Win {
    WindowParams params;
    WindowListener* listener = nullptr;
    ::Window xid = 0;
    Visual* visual = nullptr;
    int depth = 24;
    Colormap colormap = 0;
    bool argb = false;
    bool override = false;
    bool visible = false;
    bool minimized = false;
    bool enabled = true;
    bool shownOnce = false;
    CRect dirty;
    int trackHoverMs = -1;
    bool ime = true;
    XIC xic = nullptr;
    // Presenting: an XImage over our own buffer or a shared-memory segment.
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool useShm = false;
  };
  struct Item {
    WindowId window = 0;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> task;
  };

  Display* dpy = nullptr;
  int screen = 0;
  ::Window root = 0;
  XIM xim = nullptr;
  int eventFd = -1;
  int timerFd = -1;
  bool shmAvailable = false;
  bool shapeAvailable = false;
  mutable std::mutex lock;  // windows' records for [any] readers, the queue, the quit state
  std::map<WindowId, Win> windows;
  std::map<::Window, WindowId> byXid;
  WindowId nextId = 1;
  std::deque<Item> queue;
  bool quit = false;
  int quitCode = 0;
  TimerList timers;
  // Read from any thread, written on the UI thread.
  std::atomic<WindowId> active{0};
  std::atomic<WindowId> focus{0};
  std::atomic<WindowId> capture{0};
  WindowId pointerWindow = 0;
  uint64_t lastMoveMs = 0;
  WindowId moveDrag = 0;
  CPoint moveDragOffset;
  bool keys[256] = {};
  ClickTracker clicks;
  std::wstring clipboard;
  ::Window clipboardOwner = 0;
  std::map<std::string, Atom> atoms;

  std::mutex atomLock;  // A() is used from [any] operations too
  Atom A(const char* name) {
    std::lock_guard guard(atomLock);
    auto it = atoms.find(name);
    if (it != atoms.end()) return it->second;
    return atoms[name] = XInternAtom(dpy, name, False);
  }
  Win* Find(WindowId id) {
    auto it = windows.find(id);
    return it == windows.end() ? nullptr : &it->second;
  }
  const Win* Find(WindowId id) const {
    auto it = windows.find(id);
    return it == windows.end() ? nullptr : &it->second;
  }
  WindowId ByXid(::Window xid) const {
    auto it = byXid.find(xid);
    return it == byXid.end() ? 0 : it->second;
  }
  void Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(eventFd, &one, sizeof one);
  }
};

std::unique_ptr<X11WindowSystem> X11WindowSystem::Open(const char* display) {
  XInitThreads();
  Display* dpy = XOpenDisplay(display);
  if (!dpy) return nullptr;
  XSetErrorHandler(RecordXError);
  auto impl = std::make_unique<Impl>();
  impl->dpy = dpy;
  impl->screen = DefaultScreen(dpy);
  impl->root = RootWindow(dpy, impl->screen);
  impl->eventFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  impl->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (impl->eventFd < 0 || impl->timerFd < 0) {
    if (impl->eventFd >= 0) close(impl->eventFd);
    if (impl->timerFd >= 0) close(impl->timerFd);
    XCloseDisplay(dpy);
    return nullptr;
  }
  // Shared memory only helps a local server; a remote one cannot attach the segment.
  const char* name = DisplayString(dpy);
  impl->shmAvailable = XShmQueryExtension(dpy) && name && name[0] == ':';
  int eventBase = 0, errorBase = 0;
  impl->shapeAvailable = XShapeQueryExtension(dpy, &eventBase, &errorBase);
  XSetLocaleModifiers("");
  impl->xim = XOpenIM(dpy, nullptr, nullptr, nullptr);
  return std::unique_ptr<X11WindowSystem>(new X11WindowSystem(std::move(impl)));
}

X11WindowSystem::X11WindowSystem(std::unique_ptr<Impl> impl) : m(std::move(impl)) {}

X11WindowSystem::~X11WindowSystem() {
  std::vector<WindowId> ids;
  for (auto& [id, w] : m->windows) ids.push_back(id);
  for (WindowId id : ids) DestroyWindow(id);
  if (m->xim) XCloseIM(m->xim);
  close(m->eventFd);
  close(m->timerFd);
  XCloseDisplay(m->dpy);
}

// ---- windows ----

namespace {

void SetUtf8Property(Display* dpy, ::Window w, Atom property, Atom utf8, const std::string& text) {
  XChangeProperty(dpy, w, property, utf8, 8, PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
}

}  // namespace

WindowId X11WindowSystem::CreateWindow(const WindowParams& params, WindowListener* listener) {
  if (!IsUiThread() || params.bounds.Width() <= 0 || params.bounds.Height() <= 0) return 0;
  Display* dpy = m->dpy;
  Impl::Win w;
  w.params = params;
  w.listener = listener;
  w.override = params.kind == WindowKind::Popup || params.noActivate;
  w.visual = DefaultVisual(dpy, m->screen);
  w.depth = DefaultDepth(dpy, m->screen);
  XSetWindowAttributes attrs{};
  unsigned long mask = CWEventMask | CWOverrideRedirect | CWBackPixmap;
  attrs.background_pixmap = None;
  attrs.override_redirect = w.override ? True : False;
  attrs.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask | FocusChangeMask;
  XVisualInfo info{};
  if (params.layered && HasCompositor() && XMatchVisualInfo(dpy, m->screen, 32, TrueColor, &info)) {
    w.argb = true;
    w.visual = info.visual;
    w.depth = 32;
    w.colormap = XCreateColormap(dpy, m->root, info.visual, AllocNone);
    attrs.colormap = w.colormap;
    attrs.border_pixel = 0;
    attrs.background_pixel = 0;
    mask |= CWColormap | CWBorderPixel | CWBackPixel;
  }
  g_lastXError = 0;
  w.xid = XCreateWindow(dpy, m->root, params.bounds.left, params.bounds.top, static_cast<unsigned>(params.bounds.Width()),
                        static_cast<unsigned>(params.bounds.Height()), 0, w.depth, InputOutput, w.visual, mask, &attrs);
  XSync(dpy, False);
  if (!w.xid || g_lastXError) return 0;

  // Frameless, typed, with our class and title.
  MotifHints hints{2, 0, 0, 0, 0};
  XChangeProperty(dpy, w.xid, m->A("_MOTIF_WM_HINTS"), m->A("_MOTIF_WM_HINTS"), 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&hints), 5);
  const char* type = params.kind == WindowKind::Popup ? "_NET_WM_WINDOW_TYPE_POPUP_MENU"
                     : params.noActivate              ? "_NET_WM_WINDOW_TYPE_TOOLTIP"
                     : params.kind == WindowKind::Tool ? "_NET_WM_WINDOW_TYPE_DIALOG"
                                                       : "_NET_WM_WINDOW_TYPE_NORMAL";
  Atom typeAtom = m->A(type);
  XChangeProperty(dpy, w.xid, m->A("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&typeAtom), 1);
  std::vector<Atom> states;
  if (params.kind != WindowKind::TopLevel) states.push_back(m->A("_NET_WM_STATE_SKIP_TASKBAR"));
  if (params.topmost) states.push_back(m->A("_NET_WM_STATE_ABOVE"));
  if (!states.empty())
    XChangeProperty(dpy, w.xid, m->A("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(states.data()),
                    static_cast<int>(states.size()));
  std::string className = WideToUtf8(params.className);
  std::string resName = "keyloft";
  XClassHint classHint{resName.data(), className.data()};
  XSetClassHint(dpy, w.xid, &classHint);
  XWMHints wmHints{};
  wmHints.flags = InputHint;
  wmHints.input = params.noActivate || params.clickThrough ? False : True;
  XSetWMHints(dpy, w.xid, &wmHints);
  const std::string title = WideToUtf8(params.title);
  XStoreName(dpy, w.xid, title.c_str());
  SetUtf8Property(dpy, w.xid, m->A("_NET_WM_NAME"), m->A("UTF8_STRING"), title);
  Atom protocols[] = {m->A("WM_DELETE_WINDOW"), m->A("_NET_WM_PING")};
  XSetWMProtocols(dpy, w.xid, protocols, 2);
  if (params.owner)
    if (const Impl::Win* owner = m->Find(params.owner)) XSetTransientForHint(dpy, w.xid, owner->xid);
  // Window managers place new windows themselves unless told the position came from the program.
  XSizeHints size{};
  size.flags = PPosition | USPosition;
  size.x = params.bounds.left;
  size.y = params.bounds.top;
  XSetWMNormalHints(dpy, w.xid, &size);
  if (params.clickThrough && m->shapeAvailable)
    XShapeCombineRectangles(dpy, w.xid, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
  if (m->xim)
    w.xic = XCreateIC(m->xim, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, w.xid, XNFocusWindow, w.xid, nullptr);

  WindowId id = 0;
  {
    std::lock_guard lock(m->lock);
    id = m->nextId++;
    m->byXid[w.xid] = id;
    m->windows.emplace(id, std::move(w));
  }
  if (listener) listener->OnPlatformMessage(id, WM_CREATE, 0, 0);
  return id;
}

namespace {
void FreeImage(Display* dpy, X11WindowSystem::Impl::Win& w) {
  if (!w.image) return;
  if (w.useShm) {
    XShmDetach(dpy, &w.shm);
    XDestroyImage(w.image);
    shmdt(w.shm.shmaddr);
  } else {
    XDestroyImage(w.image);  // frees our buffer too
  }
  w.image = nullptr;
  w.useShm = false;
}
}  // namespace

bool X11WindowSystem::DestroyWindow(WindowId window) {
  if (!IsUiThread() || !IsWindow(window)) return false;
  std::vector<WindowId> owned;
  {
    std::lock_guard lock(m->lock);
    for (auto& [id, w] : m->windows)
      if (w.params.owner == window) owned.push_back(id);
  }
  for (WindowId child : owned) DestroyWindow(child);
  if (m->capture == window) ReleaseCapture();
  if (WindowListener* l = m->Find(window)->listener) {
    l->OnPlatformMessage(window, WM_DESTROY, 0, 0);
    l->OnPlatformMessage(window, WM_NCDESTROY, 0, 0);
  }
  const WindowId owner = GetOwner(window);
  const bool wasActive = m->active == window;
  std::lock_guard lock(m->lock);
  Impl::Win* w = m->Find(window);
  if (!w) return true;
  FreeImage(m->dpy, *w);
  if (w->xic) XDestroyIC(w->xic);
  XDestroyWindow(m->dpy, w->xid);
  if (w->colormap) XFreeColormap(m->dpy, w->colormap);
  m->byXid.erase(w->xid);
  m->windows.erase(window);
  m->timers.RemoveWindow(window);
  std::erase_if(m->queue, [&](const Impl::Item& i) { return !i.task && i.window == window; });
  if (m->active == window) m->active = 0;
  if (m->focus == window) m->focus = 0;
  if (m->pointerWindow == window) m->pointerWindow = 0;
  if (m->moveDrag == window) m->moveDrag = 0;
  if (wasActive && owner)
    if (Impl::Win* o = m->Find(owner); o && o->visible) {
      m->active = owner;
      XSetInputFocus(m->dpy, o->xid, RevertToParent, CurrentTime);
    }
  XFlush(m->dpy);
  return true;
}

bool X11WindowSystem::IsWindow(WindowId window) const {
  std::lock_guard lock(m->lock);
  return m->Find(window) != nullptr;
}

bool X11WindowSystem::ShowWindow(WindowId window, bool show) {
  if (!IsUiThread()) return false;
  Impl::Win* w = nullptr;
  bool firstShow = false;
  {
    std::lock_guard lock(m->lock);
    w = m->Find(window);
    if (!w) return false;
    if (w->visible == show && !(show && w->minimized)) return true;
    w->visible = show;
    firstShow = show && !w->shownOnce;
    w->shownOnce = w->shownOnce || show;
    if (show) w->dirty = CRect(0, 0, w->params.bounds.Width(), w->params.bounds.Height());
  }
  WindowListener* l = w->listener;
  const ::Window xid = w->xid;
  const bool restoring = show && w->minimized;
  const bool noActivate = w->params.noActivate;
  const bool popup = w->params.kind == WindowKind::Popup;
  if (show && w->minimized) {
    std::lock_guard lock(m->lock);
    w->minimized = false;
    w->dirty = CRect(0, 0, w->params.bounds.Width(), w->params.bounds.Height());
  }
  if (show) {
    XMapRaised(m->dpy, xid);
    // Override-redirect windows are not moved by anyone: place them again now.
    XMoveWindow(m->dpy, xid, w->params.bounds.left, w->params.bounds.top);
  } else {
    XUnmapWindow(m->dpy, xid);
  }
  XFlush(m->dpy);
  if (l) l->OnPlatformMessage(window, WM_SHOWWINDOW, show ? 1 : 0, 0);
  if ((firstShow || restoring) && l)
    l->OnPlatformMessage(window, WM_SIZE, SIZE_RESTORED, MakePointParam(w->params.bounds.Width(), w->params.bounds.Height()));
  if (show && !noActivate) {
    ActivateWindow(window);
    // A popup sees every press, so that a press outside it can close it.
    if (popup)
      XGrabPointer(m->dpy, xid, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, None, None,
                   CurrentTime);
  } else if (!show) {
    if (popup) XUngrabPointer(m->dpy, CurrentTime);
    if (m->active == window) {
      m->active = 0;
      if (l) l->OnPlatformMessage(window, WM_NCACTIVATE, 0, 0);
      const WindowId owner = GetOwner(window);
      if (owner && IsWindowVisible(owner)) ActivateWindow(owner);
    }
    if (m->capture == window) ReleaseCapture();
  }
  XFlush(m->dpy);
  if (l) l->OnPlatformMessage(window, WM_WINDOWPOSCHANGED, 0, 0);
  return true;
}

bool X11WindowSystem::MinimizeWindow(WindowId window) {
  if (!IsUiThread()) return false;
  Impl::Win* w = nullptr;
  {
    std::lock_guard lock(m->lock);
    w = m->Find(window);
    if (!w || !w->visible || w->override) return false;
    if (w->minimized) return true;
    w->minimized = true;
  }
  // With a window manager the window goes to the taskbar; without one it simply disappears.
  const bool haveWm = XGetSelectionOwner(m->dpy, m->A(("WM_S" + std::to_string(m->screen)).c_str())) != None;
  if (haveWm) XIconifyWindow(m->dpy, w->xid, m->screen);
  else XUnmapWindow(m->dpy, w->xid);
  XFlush(m->dpy);
  if (m->active == window) {
    m->active = 0;
    if (w->listener) w->listener->OnPlatformMessage(window, WM_NCACTIVATE, 0, 0);
  }
  if (w->listener) w->listener->OnPlatformMessage(window, WM_SIZE, SIZE_MINIMIZED, 0);
  if (w->listener) w->listener->OnPlatformMessage(window, WM_WINDOWPOSCHANGED, 0, 0);
  return true;
}

bool X11WindowSystem::IsMinimized(WindowId window) const {
  std::lock_guard lock(m->lock);
  const Impl::Win* w = m->Find(window);
  return w && w->minimized;
}

bool X11WindowSystem::IsWindowVisible(WindowId window) const {
  std::lock_guard lock(m->lock);
  const Impl::Win* w = m->Find(window);
  return w && w->visible;
}

bool X11WindowSystem::SetWindowBounds(WindowId window, const CRect& screen) {
  if (!IsUiThread() || screen.Width() <= 0 || screen.Height() <= 0) return false;
  Impl::Win* w = nullptr;
  bool moved = false, resized = false;
  {
    std::lock_guard lock(m->lock);
    w = m->Find(window);
    if (!w) return false;
    moved = w->params.bounds.TopLeft() != screen.TopLeft();
    resized = w->params.bounds.Size() != screen.Size();
    w->params.bounds = screen;
    if (resized) {
      FreeImage(m->dpy, *w);
      w->dirty = CRect(0, 0, screen.Width(), screen.Height());
    }
  }
  XMoveResizeWindow(m->dpy, w->xid, screen.left, screen.top, static_cast<unsigned>(screen.Width()), static_cast<unsigned>(screen.Height()));
  XFlush(m->dpy);
  if (moved && w->listener) w->listener->OnPlatformMessage(window, WM_MOVE, 0, MakePointParam(screen.left, screen.top));
  if (resized && w->listener)
    w->listener->OnPlatformMessage(window, WM_SIZE, SIZE_RESTORED, MakePointParam(screen.Width(), screen.Height()));
  if ((moved || resized) && w->listener) w->listener->OnPlatformMessage(window, WM_WINDOWPOSCHANGED, 0, 0);
  return true;
}

CRect X11WindowSystem::GetWindowBounds(WindowId window) const {
  std::lock_guard lock(m->lock);
  const Impl::Win* w = m->Find(window);
  return w ? w->params.bounds : CRect();
}

bool X11WindowSystem::SetWindowTitle(WindowId window, const std::wstring& title) {
  if (!IsUiThread()) return false;
  std::lock_guard lock(m->lock);
  Impl::Win* w = m->Find(window);
  if (!w) return false;
  w->params.title = title;
  const std::string utf8 = WideToUtf8(title);
  XStoreName(m->dpy, w->xid, utf8.c_str());
  SetUtf8Property(m->dpy, w->xid, m->A("_NET_WM_NAME"), m->A("UTF8_STRING"), utf8);
  XFlush(m->dpy);
  return true;
}

std::wstring X11WindowSystem::GetWindowTitle(WindowId window) const {
  std::lock_guard lock(m->lock);
  const Impl::Win* w = m->Find(window);
  return w ? w->params.title : std::wstring();
}

WindowId X11WindowSystem::GetOwner(WindowId window) const {
  std::lock_guard lock(m->lock);
  const Impl::Win* w = m->Find(window);
  return w ? w->params.owner : 0;
}

bool X11WindowSystem::SetTopmost(WindowId window, bool topmost) {
  if (!IsUiThread()) return false;
  Impl::Win* w = nullptr;
  {
    std::lock_guard lock(m->lock);
    w = m->Find(window);
    if (!w) return false;
    w->params.topmost = topmost;
  }
  // _NET_WM_STATE change request: action 1 add / 0 remove, the state, source 1 (application).
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w->xid;
  e.xclient.message_type = m->A("_NET_WM_STATE");
  e.xclient.format = 32;
  e.xclient.data.l[0] = topmost ? 1 : 0;
  e.xclient.data.l[1] = static_cast<long>(m->A("_NET_WM_STATE_ABOVE"));
  e.xclient.data.l[3] = 1;
  XSendEvent(m->dpy, m->root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  if (topmost) XRaiseWindow(m->dpy, w->xid);
  XFlush(m->dpy);
  if (w->listener) w->listener->OnPlatformMessage(window, WM_WINDOWPOSCHANGED, 0, 0);
  return true;
}

namespace {
// The child of the root that holds `xid`: the window itself, or the frame a window manager put
// around it. Stacking is decided among those.
::Window TopLevelOf(Display* dpy, ::Window xid) {
  for (;;) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, xid, &root, &parent, &children, &count)) return xid;
    if (children) XFree(children);
    if (!parent || parent == root) return xid;
    xid = parent;
  }
}
}  // namespace

bool X11WindowSystem::IsTopmost(WindowId window) const {
  std::lock_guard lock(m->lock);
  const Impl::Win* w = m->Find(window);
  return w && w->params.topmost;
}

bool X11WindowSystem::PlaceBehind(WindowId window, WindowId above) {
  if (!IsUiThread() || window == above) return false;
  Impl::Win* w = m->Find(window);
  const Impl::Win* a = m->Find(above);
  if (!w || !a) return false;
  XWindowChanges changes{};
  changes.sibling = TopLevelOf(m->dpy, a->xid);
  changes.stack_mode = Below;
  g_lastXError = 0;
  XConfigureWindow(m->dpy, TopLevelOf(m->dpy, w->xid), CWSibling | CWStackMode, &changes);
  XSync(m->dpy, False);
  if (g_lastXError) return false;
  if (w->listener) w->listener->OnPlatformMessage(window, WM_WINDOWPOSCHANGED, 0, 0);
  return true;
}

bool X11WindowSystem::EnableWindow(WindowId window, bool enable) {
  if (!IsUiThread()) return false;
  std::lock_guard lock(m->lock);
  Impl::Win* w = m->Find(window);
  if (!w) return false;
  w->enabled = enable;
  return true;
}

bool X11WindowSystem::IsWindowEnabled(WindowId window) const {
  std::lock_guard lock(m->lock);
  const Impl::Win* w = m->Find(window);
  return w && w->enabled;
}

bool X11WindowSystem::SetLayered(WindowId window, bool layered) {
  if (!IsUiThread()) return false;
  std::lock_guard lock(m->lock);
  Impl::Win* w = m->Find(window);
  if (!w) return false;
  // The visual is fixed at creation: without the ARGB visual the alpha shapes the window instead.
  w->params.layered = layered;
  if (!layered && !w->argb && m->shapeAvailable) XShapeCombineMask(m->dpy, w->xid, ShapeBounding, 0, 0, None, ShapeSet);
  return true;
}

bool X11WindowSystem::SetIcon(WindowId window, int width, int height, const std::vector<uint32_t>& argb) {
  if (!IsUiThread() || width <= 0 || height <= 0 || argb.size() != static_cast<size_t>(width) * height) return false;
  const Impl::Win* w = m->Find(window);
  if (!w) return false;
  // _NET_WM_ICON: width, height, then the pixels, each as a CARDINAL (a long in Xlib's format 32).
  std::vector<unsigned long> data;
  data.reserve(argb.size() + 2);
  data.push_back(static_cast<unsigned long>(width));
  data.push_back(static_cast<unsigned long>(height));
  for (uint32_t p : argb) data.push_back(p);
  XChangeProperty(m->dpy, w->xid, m->A("_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(data.data()),
                  static_cast<int>(data.size()));
  XFlush(m->dpy);
  return true;
}

bool X11WindowSystem::ActivateWindow(WindowId window) {
  if (!IsUiThread()) return false;
  Impl::Win* w = m->Find(window);
  if (!w || !w->visible) return false;
  if (w->minimized) return ShowWindow(window, true);  // restores, then activates
  const WindowId old = m->active;
  if (!w->override) {
    // Ask the window manager (source 1 = application), then take the focus ourselves too for
    // servers without one.
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w->xid;
    e.xclient.message_type = m->A("_NET_ACTIVE_WINDOW");
    e.xclient.format = 32;
    e.xclient.data.l[0] = 1;
    XSendEvent(m->dpy, m->root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  }
  XRaiseWindow(m->dpy, w->xid);
  g_lastXError = 0;
  XSetInputFocus(m->dpy, w->xid, RevertToParent, CurrentTime);
  XFlush(m->dpy);
  if (w->listener) w->listener->OnPlatformMessage(window, WM_WINDOWPOSCHANGED, 0, 0);  // raised
  if (old == window) return true;
  m->active = window;
  m->focus = window;
  if (Impl::Win* o = m->Find(old); o && o->listener) o->listener->OnPlatformMessage(old, WM_NCACTIVATE, 0, 0);
  if (w->listener) w->listener->OnPlatformMessage(window, WM_NCACTIVATE, 1, 0);
  return true;
}

WindowId X11WindowSystem::GetActiveWindow() const { return m->active; }

std::vector<WindowId> X11WindowSystem::FindWindows(const std::wstring& className, const std::wstring& title) const {
  std::lock_guard lock(m->lock);
  std::vector<WindowId> found;
  for (const auto& [id, w] : m->windows)
    if (w.params.className == className && (title.empty() || w.params.title == title)) found.push_back(id);
  return found;
}

CRect X11WindowSystem::GetWorkArea(CPoint) const {
  std::lock_guard lock(m->lock);
  const CRect screen(0, 0, DisplayWidth(m->dpy, m->screen), DisplayHeight(m->dpy, m->screen));
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  CRect area = screen;
  if (XGetWindowProperty(m->dpy, m->root, m->A("_NET_WORKAREA"), 0, 4, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
          Success &&
      data && format == 32 && count >= 4) {
    const auto* v = reinterpret_cast<const long*>(data);
    const CRect work(static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[0] + v[2]), static_cast<int>(v[1] + v[3]));
    if (!work.IsRectEmpty()) area = work;
  }
  if (data) XFree(data);
  return area;
}

// ---- painting ----

bool X11WindowSystem::Invalidate(WindowId window, const CRect* rect) {
  {
    std::lock_guard lock(m->lock);
    Impl::Win* w = m->Find(window);
    if (!w) return false;
    const CRect client(0, 0, w->params.bounds.Width(), w->params.bounds.Height());
    w->dirty = CRect::Union(w->dirty, rect ? CRect::Intersect(*rect, client) : client);
  }
  if (!IsUiThread()) m->Wake();
  return true;
}

CRect X11WindowSystem::BeginPaint(WindowId window) {
  if (!IsUiThread()) return {};
  std::lock_guard lock(m->lock);
  Impl::Win* w = m->Find(window);
  if (!w) return {};
  const CRect dirty = w->dirty;
  w->dirty = CRect();
  return dirty;
}

namespace {

// Creates the window's XImage (shared memory when possible) of its size.
bool EnsureImage(X11WindowSystem::Impl* m, X11WindowSystem::Impl::Win& w) {
  const int width = w.params.bounds.Width();
  const int height = w.params.bounds.Height();
  if (w.image && w.image->width == width && w.image->height == height) return true;
  FreeImage(m->dpy, w);
  if (m->shmAvailable) {
    XImage* img = XShmCreateImage(m->dpy, w.visual, static_cast<unsigned>(w.depth), ZPixmap, nullptr, &w.shm,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (img) {
      w.shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(img->bytes_per_line) * height, IPC_CREAT | 0600);
      if (w.shm.shmid >= 0) {
        w.shm.shmaddr = img->data = static_cast<char*>(shmat(w.shm.shmid, nullptr, 0));
        w.shm.readOnly = False;
        g_lastXError = 0;
        const bool attached = img->data != reinterpret_cast<char*>(-1) && XShmAttach(m->dpy, &w.shm);
        XSync(m->dpy, False);
        shmctl(w.shm.shmid, IPC_RMID, nullptr);  // freed once both sides detach
        if (attached && !g_lastXError) {
          w.image = img;
          w.useShm = true;
          return true;
        }
        if (img->data != reinterpret_cast<char*>(-1)) shmdt(img->data);
      }
      img->data = nullptr;
      XDestroyImage(img);
    }
    m->shmAvailable = false;  // the server refused it: use XPutImage from now on
  }
  auto* data = static_cast<char*>(calloc(static_cast<size_t>(width) * height, 4));
  if (!data) return false;
  w.image = XCreateImage(m->dpy, w.visual, static_cast<unsigned>(w.depth), ZPixmap, 0, data, static_cast<unsigned>(width),
                         static_cast<unsigned>(height), 32, width * 4);
  if (!w.image) {
    free(data);
    return false;
  }
  return true;
}

// The opaque part of a layered window without a compositor: one rectangle per run of pixels
// with alpha in each row.
void ShapeFromAlpha(X11WindowSystem::Impl* m, X11WindowSystem::Impl::Win& w, const PixelView& buffer) {
  std::vector<XRectangle> runs;
  for (int y = 0; y < buffer.height; ++y) {
    const uint32_t* row = buffer.pixels + static_cast<size_t>(y) * buffer.stride;
    int x = 0;
    while (x < buffer.width) {
      while (x < buffer.width && (row[x] >> 24) < 0x80) ++x;
      const int start = x;
      while (x < buffer.width && (row[x] >> 24) >= 0x80) ++x;
      if (x > start)
        runs.push_back({static_cast<short>(start), static_cast<short>(y), static_cast<unsigned short>(x - start), 1});
    }
  }
  XShapeCombineRectangles(m->dpy, w.xid, ShapeBounding, 0, 0, runs.data(), static_cast<int>(runs.size()), ShapeSet, Unsorted);
}

}  // namespace

bool X11WindowSystem::Present(WindowId window, const PixelView& buffer, const CRect& dirty) {
  if (!IsUiThread() || !buffer.pixels) return false;
  Impl::Win* w = m->Find(window);
  if (!w || !EnsureImage(m.get(), *w)) return false;
  const CRect r = CRect::Intersect(dirty, CRect(0, 0, std::min(w->image->width, buffer.width), std::min(w->image->height, buffer.height)));
  if (r.IsRectEmpty()) return true;
  // Cairo's ARGB32 is the ZPixmap layout of 24- and 32-bit TrueColor visuals (0xAARRGGBB words).
  for (int y = r.top; y < r.bottom; ++y)
    std::memcpy(w->image->data + static_cast<ptrdiff_t>(y) * w->image->bytes_per_line + r.left * 4,
                buffer.pixels + static_cast<size_t>(y) * buffer.stride + r.left, static_cast<size_t>(r.Width()) * 4);
  if (w->params.layered && !w->argb && m->shapeAvailable) ShapeFromAlpha(m.get(), *w, buffer);
  GC gc = DefaultGC(m->dpy, m->screen);
  GC own = nullptr;
  if (w->depth != DefaultDepth(m->dpy, m->screen)) gc = own = XCreateGC(m->dpy, w->xid, 0, nullptr);
  if (w->useShm)
    XShmPutImage(m->dpy, w->xid, gc, w->image, r.left, r.top, r.left, r.top, static_cast<unsigned>(r.Width()),
                 static_cast<unsigned>(r.Height()), False);
  else
    XPutImage(m->dpy, w->xid, gc, w->image, r.left, r.top, r.left, r.top, static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()));
  if (own) XFreeGC(m->dpy, own);
  // The buffer is rewritten by the next paint: the server must be done with the segment first.
  if (w->useShm) XSync(m->dpy, False);
  else XFlush(m->dpy);
  return true;
}

// ---- input ----

bool X11WindowSystem::SetCapture(WindowId window) {
  if (!IsUiThread()) return false;
  Impl::Win* w = m->Find(window);
  if (!w) return false;
  if (m->capture && m->capture != window)
    if (Impl::Win* old = m->Find(m->capture); old && old->listener) old->listener->OnPlatformMessage(m->capture, WM_CAPTURECHANGED, 0, 0);
  XGrabPointer(m->dpy, w->xid, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, None, None,
               CurrentTime);
  XFlush(m->dpy);
  m->capture = window;
  return true;
}

bool X11WindowSystem::ReleaseCapture() {
  if (!IsUiThread()) return false;
  const WindowId old = m->capture;
  m->capture = 0;
  // An open popup keeps its own grab.
  WindowId popup = 0;
  if (Impl::Win* a = m->Find(m->active); a && a->visible && a->params.kind == WindowKind::Popup) popup = m->active;
  if (popup)
    XGrabPointer(m->dpy, m->Find(popup)->xid, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
                 None, None, CurrentTime);
  else
    XUngrabPointer(m->dpy, CurrentTime);
  XFlush(m->dpy);
  if (Impl::Win* w = m->Find(old); w && w->listener) w->listener->OnPlatformMessage(old, WM_CAPTURECHANGED, 0, 0);
  return true;
}

WindowId X11WindowSystem::GetCapture() const { return m->capture; }

bool X11WindowSystem::TrackMouse(WindowId window, int hoverMs) {
  if (!IsUiThread()) return false;
  Impl::Win* w = m->Find(window);
  if (!w) return false;
  w->trackHoverMs = std::max(hoverMs, 0);
  return true;
}

bool X11WindowSystem::StartMoveDrag(WindowId window, CPoint screenPoint) {
  if (!IsUiThread()) return false;
  Impl::Win* w = m->Find(window);
  if (!w || !m->keys[VK_LBUTTON]) return false;
  const bool haveWm = XGetSelectionOwner(m->dpy, m->A(("WM_S" + std::to_string(m->screen)).c_str())) != None;
  XUngrabPointer(m->dpy, CurrentTime);
  if (haveWm && !w->override) {
    // _NET_WM_MOVERESIZE: x, y, direction 8 (move), button 1, source 1.
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w->xid;
    e.xclient.message_type = m->A("_NET_WM_MOVERESIZE");
    e.xclient.format = 32;
    e.xclient.data.l[0] = screenPoint.x;
    e.xclient.data.l[1] = screenPoint.y;
    e.xclient.data.l[2] = 8;
    e.xclient.data.l[3] = 1;
    e.xclient.data.l[4] = 1;
    XSendEvent(m->dpy, m->root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(m->dpy);
    // The window manager owns the gesture now; our button state ends with it.
    m->keys[VK_LBUTTON] = false;
    return true;
  }
  // Without a window manager we move the window ourselves until the button goes up.
  m->moveDrag = window;
  m->moveDragOffset = {screenPoint.x - w->params.bounds.left, screenPoint.y - w->params.bounds.top};
  XGrabPointer(m->dpy, w->xid, False, ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
  XFlush(m->dpy);
  return true;
}

bool X11WindowSystem::SetCursor(WindowId window, Cursor cursor) {
  if (!IsUiThread()) return false;
  Impl::Win* w = m->Find(window);
  if (!w) return false;
  static const unsigned kShapes[] = {XC_left_ptr, XC_watch, XC_crosshair, XC_sb_h_double_arrow, XC_sb_v_double_arrow, XC_hand2, XC_question_arrow};
  static std::map<Cursor, ::Cursor> loaded;
  ::Cursor& c = loaded[cursor];
  if (!c) c = XCreateFontCursor(m->dpy, kShapes[static_cast<int>(cursor)]);
  XDefineCursor(m->dpy, w->xid, c);
  XFlush(m->dpy);
  return true;
}

bool X11WindowSystem::SetFocus(WindowId window) {
  if (!IsUiThread()) return false;
  Impl::Win* w = m->Find(window);
  if (!w || !w->visible) return false;
  const WindowId old = m->focus;
  XSetInputFocus(m->dpy, w->xid, RevertToParent, CurrentTime);
  XFlush(m->dpy);
  if (old == window) return true;
  m->focus = window;
  if (Impl::Win* o = m->Find(old); o && o->listener) o->listener->OnPlatformMessage(old, WM_KILLFOCUS, window, 0);
  if (w->listener) w->listener->OnPlatformMessage(window, WM_SETFOCUS, old, 0);
  return true;
}

WindowId X11WindowSystem::GetFocus() const { return m->focus; }

bool X11WindowSystem::SetImeEnabled(WindowId window, bool enabled) {
  if (!IsUiThread()) return false;
  Impl::Win* w = m->Find(window);
  if (!w) return false;
  w->ime = enabled;
  if (w->xic) {
    if (enabled) XSetICFocus(w->xic);
    else XUnsetICFocus(w->xic);
  }
  return true;
}

bool X11WindowSystem::IsKeyDown(UINT vk) const { return vk < 256 && m->keys[vk]; }

CPoint X11WindowSystem::GetCursorPos() const {
  ::Window rootRet = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  std::lock_guard lock(m->lock);
  if (!XQueryPointer(m->dpy, m->root, &rootRet, &child, &rx, &ry, &wx, &wy, &mask)) return {};
  return {rx, ry};
}

// ---- messages ----

bool X11WindowSystem::Post(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard lock(m->lock);
    if (!m->Find(window)) return false;
    m->queue.push_back({window, msg, wParam, lParam, {}});
  }
  m->Wake();
  return true;
}

LRESULT X11WindowSystem::Send(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsUiThread()) return 0;
  Impl::Win* w = m->Find(window);
  return w && w->listener ? w->listener->OnPlatformMessage(window, msg, wParam, lParam) : 0;
}

void X11WindowSystem::PostTask(std::function<void()> task) {
  if (!task) return;
  {
    std::lock_guard lock(m->lock);
    m->queue.push_back({0, 0, 0, 0, std::move(task)});
  }
  m->Wake();
}

void X11WindowSystem::PostQuit(int exitCode) {
  {
    std::lock_guard lock(m->lock);
    m->quit = true;
    m->quitCode = exitCode;
  }
  m->Wake();
}

bool X11WindowSystem::IsQuitPending() const {
  std::lock_guard lock(m->lock);
  return m->quit;
}

int X11WindowSystem::QuitCode() const {
  std::lock_guard lock(m->lock);
  return m->quitCode;
}

// ---- timers ----

bool X11WindowSystem::SetTimer(WindowId window, UINT id, UINT ms) {
  if (!IsUiThread() || !IsWindow(window)) return false;
  m->timers.Set(window, id, ms, SteadyMs());
  return true;
}

bool X11WindowSystem::KillTimer(WindowId window, UINT id) { return IsUiThread() && m->timers.Kill(window, id); }

TickId X11WindowSystem::StartTick(UINT ms, std::function<void(TickId)> callback) {
  if (!IsUiThread() || !callback) return 0;
  return m->timers.StartTick(ms, std::move(callback), SteadyMs());
}

bool X11WindowSystem::StopTick(TickId tick) { return IsUiThread() && m->timers.StopTick(tick); }

uint64_t X11WindowSystem::NowMs() const { return SteadyMs(); }

// ---- shell ----

bool X11WindowSystem::OpenUrl(const std::wstring& url) {
  if (url.empty()) return false;
  const std::string target = WideToUtf8(url);
  char program[] = "xdg-open";
  char* argv[] = {program, const_cast<char*>(target.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
  // Reap the opener without blocking the UI thread.
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return true;
}

bool X11WindowSystem::SetClipboardText(const std::wstring& text) {
  if (!IsUiThread()) return false;
  if (!m->clipboardOwner) m->clipboardOwner = XCreateSimpleWindow(m->dpy, m->root, -10, -10, 1, 1, 0, 0, 0);
  m->clipboard = text;
  XSetSelectionOwner(m->dpy, m->A("CLIPBOARD"), m->clipboardOwner, CurrentTime);
  XFlush(m->dpy);
  return XGetSelectionOwner(m->dpy, m->A("CLIPBOARD")) == m->clipboardOwner;
}

std::wstring X11WindowSystem::GetClipboardText() {
  if (!IsUiThread()) return {};
  if (!m->clipboardOwner) m->clipboardOwner = XCreateSimpleWindow(m->dpy, m->root, -10, -10, 1, 1, 0, 0, 0);
  if (XGetSelectionOwner(m->dpy, m->A("CLIPBOARD")) == m->clipboardOwner) return m->clipboard;
  const Atom property = m->A("KL_CLIPBOARD");
  XConvertSelection(m->dpy, m->A("CLIPBOARD"), m->A("UTF8_STRING"), property, m->clipboardOwner, CurrentTime);
  XFlush(m->dpy);
  // Wait a bounded time for the owner's answer.
  const uint64_t until = SteadyMs() + 500;
  XEvent e{};
  while (!XCheckTypedWindowEvent(m->dpy, m->clipboardOwner, SelectionNotify, &e)) {
    if (SteadyMs() >= until) return {};
    pollfd p{ConnectionNumber(m->dpy), POLLIN, 0};
    poll(&p, 1, 20);
  }
  if (e.xselection.property == None) return {};
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::wstring text;
  if (XGetWindowProperty(m->dpy, m->clipboardOwner, property, 0, 1 << 20, True, AnyPropertyType, &type, &format, &count, &after, &data) ==
          Success &&
      data && format == 8)
    text = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), count));
  if (data) XFree(data);
  return text;
}

bool X11WindowSystem::RegisterDropTarget(WindowId) {
  // Drops (XDND) are not taken by this backend yet; callers treat the window as having no drop support.
  return false;
}

bool X11WindowSystem::HasCompositor() const {
  return XGetSelectionOwner(m->dpy, XInternAtom(m->dpy, ("_NET_WM_CM_S" + std::to_string(m->screen)).c_str(), False)) != None;
}

unsigned long X11WindowSystem::NativeWindow(WindowId window) const {
  std::lock_guard lock(m->lock);
  const Impl::Win* w = m->Find(window);
  return w ? w->xid : 0;
}

// ---- the loop ----

namespace {

UINT ButtonFlags(unsigned state) {
  UINT flags = 0;
  if (state & Button1Mask) flags |= MK_LBUTTON;
  if (state & Button3Mask) flags |= MK_RBUTTON;
  if (state & Button2Mask) flags |= MK_MBUTTON;
  if (state & ShiftMask) flags |= MK_SHIFT;
  if (state & ControlMask) flags |= MK_CONTROL;
  return flags;
}

}  // namespace

namespace {

struct Loop {
  X11WindowSystem* self;
  X11WindowSystem::Impl* m;

  void Deliver(WindowId id, UINT msg, WPARAM w, LPARAM l) {
    X11WindowSystem::Impl::Win* win = m->Find(id);
    if (win && win->listener) win->listener->OnPlatformMessage(id, msg, w, l);
  }

  void SetActive(WindowId id) {
    if (m->active == id) return;
    const WindowId old = m->active;
    m->active = id;
    if (id) m->focus = id;
    if (old) Deliver(old, WM_NCACTIVATE, 0, 0);
    if (id) Deliver(id, WM_NCACTIVATE, 1, 0);
  }

  void Pointer(WindowId under) {
    if (under == m->pointerWindow) return;
    const WindowId old = m->pointerWindow;
    m->pointerWindow = under;
    if (X11WindowSystem::Impl::Win* w = m->Find(old); w && w->trackHoverMs >= 0) {
      w->trackHoverMs = -1;
      Deliver(old, WM_MOUSELEAVE, 0, 0);
    }
  }

  // Which of our windows is under a screen point (topmost by the server's stacking).
  WindowId WindowAtRoot(const XEvent& e, CPoint screen) {
    ::Window child = 0;
    int x = 0, y = 0;
    XTranslateCoordinates(m->dpy, m->root, m->root, screen.x, screen.y, &x, &y, &child);
    WindowId id = m->ByXid(child);
    if (const X11WindowSystem::Impl::Win* w = m->Find(id); w && w->params.clickThrough) id = 0;
    if (!id) id = m->ByXid(e.xany.window);
    return id;
  }

  void Handle(XEvent& e) {
    if (XFilterEvent(&e, None)) return;
    const WindowId id = m->ByXid(e.xany.window);
    X11WindowSystem::Impl::Win* w = m->Find(id);
    switch (e.type) {
      case Expose:
        if (w) {
          std::lock_guard lock(m->lock);
          w->dirty = CRect::Union(w->dirty, CRect(e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width, e.xexpose.y + e.xexpose.height));
        }
        break;
      case ConfigureNotify: {
        if (!w) break;
        // Managed windows report positions relative to the frame: ask for the root position.
        int rx = 0, ry = 0;
        ::Window child = 0;
        XTranslateCoordinates(m->dpy, w->xid, m->root, 0, 0, &rx, &ry, &child);
        const CRect now(rx, ry, rx + e.xconfigure.width, ry + e.xconfigure.height);
        const CRect old = w->params.bounds;
        if (now == old) break;
        {
          std::lock_guard lock(m->lock);
          w->params.bounds = now;
          if (now.Size() != old.Size()) w->dirty = CRect(0, 0, now.Width(), now.Height());
        }
        if (now.TopLeft() != old.TopLeft()) Deliver(id, WM_MOVE, 0, MakePointParam(now.left, now.top));
        if (now.Size() != old.Size()) Deliver(id, WM_SIZE, SIZE_RESTORED, MakePointParam(now.Width(), now.Height()));
        Deliver(id, WM_WINDOWPOSCHANGED, 0, 0);
        break;
      }
      case MapNotify:
        // The window manager gave an iconified window back (taskbar, pager).
        if (w && w->minimized) {
          {
            std::lock_guard lock(m->lock);
            w->minimized = false;
            w->dirty = CRect(0, 0, w->params.bounds.Width(), w->params.bounds.Height());
          }
          Deliver(id, WM_SIZE, SIZE_RESTORED, MakePointParam(w->params.bounds.Width(), w->params.bounds.Height()));
          Deliver(id, WM_WINDOWPOSCHANGED, 0, 0);
        }
        break;
      case ClientMessage:
        if (!w) break;
        if (static_cast<Atom>(e.xclient.data.l[0]) == m->A("WM_DELETE_WINDOW")) {
          Deliver(id, WM_CLOSE, 0, 0);
        } else if (static_cast<Atom>(e.xclient.data.l[0]) == m->A("_NET_WM_PING")) {
          e.xclient.window = m->root;
          XSendEvent(m->dpy, m->root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
        }
        break;
      case FocusIn:
        if (w && e.xfocus.mode == NotifyNormal && !w->override) SetActive(id);
        break;
      case FocusOut:
        // Focus leaving to another program deactivates us; moves between our windows arrive as FocusIn.
        if (w && e.xfocus.mode == NotifyNormal && m->active == id && e.xfocus.detail != NotifyInferior) {
          ::Window focused = 0;
          int revert = 0;
          XGetInputFocus(m->dpy, &focused, &revert);
          if (!m->ByXid(focused)) SetActive(0);
        }
        break;
      case MotionNotify: {
        const CPoint screen{e.xmotion.x_root, e.xmotion.y_root};
        m->lastMoveMs = SteadyMs();
        if (m->moveDrag) {
          const CRect b = self->GetWindowBounds(m->moveDrag);
          self->SetWindowBounds(m->moveDrag, CRect(screen.x - m->moveDragOffset.x, screen.y - m->moveDragOffset.y,
                                                   screen.x - m->moveDragOffset.x + b.Width(), screen.y - m->moveDragOffset.y + b.Height()));
          break;
        }
        const WindowId under = w && w->params.bounds.PtInRect(screen) ? id : WindowAtRoot(e, screen);
        Pointer(under);
        const WindowId target = m->capture ? m->capture.load() : (under ? under : id);
        X11WindowSystem::Impl::Win* t = m->Find(target);
        if (!t || !t->enabled) break;
        // A popup's grab reports moves over other windows to it; only the window under the
        // pointer (or the capture) gets them.
        if (!m->capture && !t->params.bounds.PtInRect(screen)) break;
        Deliver(target, WM_MOUSEMOVE, ButtonFlags(e.xmotion.state),
                MakePointParam(screen.x - t->params.bounds.left, screen.y - t->params.bounds.top));
        break;
      }
      case LeaveNotify:
        if (w && !m->capture && e.xcrossing.mode == NotifyNormal) Pointer(0);
        break;
      case ButtonPress:
      case ButtonRelease: {
        const bool down = e.type == ButtonPress;
        const CPoint screen{e.xbutton.x_root, e.xbutton.y_root};
        const unsigned button = e.xbutton.button;
        if (!down && m->moveDrag && button == Button1) {
          m->moveDrag = 0;
          m->keys[VK_LBUTTON] = false;
          XUngrabPointer(m->dpy, CurrentTime);
          break;
        }
        // A press outside the active popup closes it and goes no further.
        if (down) {
          X11WindowSystem::Impl::Win* a = m->Find(m->active);
          if (a && a->visible && a->params.kind == WindowKind::Popup && !a->params.bounds.PtInRect(screen) && m->capture != m->active) {
            const WindowId popup = m->active;
            XUngrabPointer(m->dpy, CurrentTime);
            m->active = 0;
            Deliver(popup, WM_NCACTIVATE, 0, 0);
            m->clicks.Reset();
            break;
          }
        }
        WindowId under = w && w->params.bounds.PtInRect(screen) ? id : WindowAtRoot(e, screen);
        const WindowId target = m->capture ? m->capture.load() : under;
        X11WindowSystem::Impl::Win* t = m->Find(target);
        if (button == Button4 || button == Button5) {
          if (down && t && t->enabled) {
            const int delta = button == Button4 ? WHEEL_DELTA : -WHEEL_DELTA;
            Deliver(target, WM_MOUSEWHEEL, (static_cast<WPARAM>(static_cast<uint16_t>(delta)) << 16) | ButtonFlags(e.xbutton.state),
                    MakePointParam(screen.x, screen.y));
          }
          break;
        }
        if (button > 3) break;
        const UINT vk = button == Button1 ? VK_LBUTTON : button == Button3 ? VK_RBUTTON : VK_MBUTTON;
        m->keys[vk] = down;
        if (!t || !t->enabled) break;
        const UINT base = button == Button1 ? WM_LBUTTONDOWN : button == Button3 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
        UINT msg = base + (down ? 0 : 1);
        if (down) {
          if (m->clicks.OnPress(target, static_cast<int>(button), screen, SteadyMs())) msg = base + 2;
          if (!t->override && m->active != target) self->ActivateWindow(target);
        }
        UINT flags = ButtonFlags(e.xbutton.state);
        // The state mask holds the buttons before this event.
        if (down) flags |= vk == VK_LBUTTON ? MK_LBUTTON : vk == VK_RBUTTON ? MK_RBUTTON : MK_MBUTTON;
        else flags &= ~(vk == VK_LBUTTON ? MK_LBUTTON : vk == VK_RBUTTON ? MK_RBUTTON : MK_MBUTTON);
        Deliver(target, msg, flags, MakePointParam(screen.x - t->params.bounds.left, screen.y - t->params.bounds.top));
        break;
      }
      case KeyPress:
      case KeyRelease: {
        const bool down = e.type == KeyPress;
        const KeySym sym = XLookupKeysym(&e.xkey, 0);
        const UINT vk = KeysymToVirtualKey(sym);
        const bool repeat = down && vk && m->keys[vk];
        if (vk) {
          m->keys[vk] = down;
          if (vk == VK_LSHIFT || vk == VK_RSHIFT) m->keys[VK_SHIFT] = m->keys[VK_LSHIFT] || m->keys[VK_RSHIFT];
          if (vk == VK_LCONTROL || vk == VK_RCONTROL) m->keys[VK_CONTROL] = m->keys[VK_LCONTROL] || m->keys[VK_RCONTROL];
          if (vk == VK_LMENU || vk == VK_RMENU) m->keys[VK_MENU] = m->keys[VK_LMENU] || m->keys[VK_RMENU];
        }
        const WindowId target = m->focus ? m->focus.load() : id;
        X11WindowSystem::Impl::Win* t = m->Find(target);
        if (!t || !t->enabled) break;
        if (vk) {
          const UINT sent = vk == VK_LSHIFT || vk == VK_RSHIFT ? VK_SHIFT : vk == VK_LCONTROL || vk == VK_RCONTROL ? VK_CONTROL
                            : vk == VK_LMENU || vk == VK_RMENU                                                  ? VK_MENU
                                                                                                                 : vk;
          const bool sys = m->keys[VK_MENU];
          const UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
          Deliver(target, msg, sent, 1 | (repeat ? (1 << 30) : 0) | (down ? 0 : static_cast<LPARAM>(1u << 31)));
        }
        if (down && !(e.xkey.state & ControlMask)) {
          char text[64] = {};
          KeySym ignored = 0;
          Status status = 0;
          int n = 0;
          if (t->ime && t->xic) n = Xutf8LookupString(t->xic, &e.xkey, text, sizeof text - 1, &ignored, &status);
          else n = XLookupString(&e.xkey, text, sizeof text - 1, &ignored, nullptr);
          if (n > 0)
            for (wchar_t ch : Utf8ToWide(std::string_view(text, static_cast<size_t>(n))))
              if (ch >= 0x20 || ch == L'\r' || ch == L'\b' || ch == L'\t' || ch == 0x1B) Deliver(target, WM_CHAR, static_cast<WPARAM>(ch), 1);
        }
        break;
      }
      case SelectionRequest: {
        // Another program asks for our clipboard text.
        XSelectionRequestEvent& r = e.xselectionrequest;
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = r.requestor;
        reply.xselection.selection = r.selection;
        reply.xselection.target = r.target;
        reply.xselection.time = r.time;
        reply.xselection.property = None;
        const Atom utf8 = m->A("UTF8_STRING");
        if (r.target == m->A("TARGETS")) {
          Atom targets[] = {m->A("TARGETS"), utf8, XA_STRING};
          XChangeProperty(m->dpy, r.requestor, r.property, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(targets), 3);
          reply.xselection.property = r.property;
        } else if (r.target == utf8 || r.target == XA_STRING) {
          const std::string text = WideToUtf8(m->clipboard);
          XChangeProperty(m->dpy, r.requestor, r.property, r.target, 8, PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size()));
          reply.xselection.property = r.property;
        }
        XSendEvent(m->dpy, r.requestor, False, 0, &reply);
        break;
      }
      default:
        break;
    }
  }

  bool DispatchOne() {
    X11WindowSystem::Impl::Item item;
    {
      std::lock_guard lock(m->lock);
      if (m->queue.empty()) return false;
      item = std::move(m->queue.front());
      m->queue.pop_front();
    }
    if (item.task) {
      try {
        item.task();
      } catch (...) {
        // A task's failure is its own; the loop goes on.
      }
    } else {
      Deliver(item.window, item.msg, item.wParam, item.lParam);
    }
    return true;
  }

  bool PaintOne() {
    WindowId target = 0;
    {
      std::lock_guard lock(m->lock);
      for (auto& [id, w] : m->windows)
        if (w.visible && !w.minimized && !w.dirty.IsRectEmpty()) {
          target = id;
          break;
        }
    }
    if (!target) return false;
    Deliver(target, WM_PAINT, 0, 0);
    std::lock_guard lock(m->lock);
    if (X11WindowSystem::Impl::Win* w = m->Find(target)) w->dirty = CRect();
    return true;
  }

  // Fires one due timer, tick or hover; false when none is due.
  bool FireDue() {
    const uint64_t now = SteadyMs();
    for (auto& [id, w] : m->windows)
      if (id == m->pointerWindow && w.trackHoverMs >= 0 && now >= m->lastMoveMs + static_cast<uint64_t>(w.trackHoverMs)) {
        w.trackHoverMs = -1;
        const CPoint p = self->GetCursorPos();
        Deliver(id, WM_MOUSEHOVER, 0, MakePointParam(p.x - w.params.bounds.left, p.y - w.params.bounds.top));
        return true;
      }
    const std::optional<TimerList::Timer> fired = m->timers.TakeDue(now, now);
    if (!fired) return false;
    if (fired->window) Deliver(fired->window, WM_TIMER, fired->id, 0);
    else if (fired->tick) fired->tick(fired->id);
    return true;
  }

  // Arms the timerfd for the next timer or hover, and waits for X, a post or the timer.
  void Wait() {
    uint64_t next = m->timers.NextDue();
    if (X11WindowSystem::Impl::Win* w = m->Find(m->pointerWindow); w && w->trackHoverMs >= 0)
      next = std::min(next, m->lastMoveMs + static_cast<uint64_t>(w->trackHoverMs));
    itimerspec when{};
    if (next != UINT64_MAX) {
      const uint64_t now = SteadyMs();
      const uint64_t delay = next > now ? next - now : 1;
      when.it_value.tv_sec = static_cast<time_t>(delay / 1000);
      when.it_value.tv_nsec = static_cast<long>((delay % 1000) * 1000000);
    }
    timerfd_settime(m->timerFd, 0, &when, nullptr);
    XFlush(m->dpy);
    if (XPending(m->dpy)) return;
    pollfd fds[3] = {{ConnectionNumber(m->dpy), POLLIN, 0}, {m->eventFd, POLLIN, 0}, {m->timerFd, POLLIN, 0}};
    poll(fds, 3, -1);
    uint64_t drain = 0;
    if (fds[1].revents & POLLIN) [[maybe_unused]] ssize_t a = read(m->eventFd, &drain, sizeof drain);
    if (fds[2].revents & POLLIN) [[maybe_unused]] ssize_t b = read(m->timerFd, &drain, sizeof drain);
  }
};

}  // namespace

bool X11WindowSystem::RunMessageLoop(const std::function<bool()>& keepRunning) {
  if (!IsUiThread()) return false;
  Loop loop{this, m.get()};
  for (;;) {
    if (IsQuitPending()) return false;
    if (keepRunning && !keepRunning()) return true;
    if (XPending(m->dpy)) {
      XEvent e;
      XNextEvent(m->dpy, &e);
      loop.Handle(e);
      continue;
    }
    if (loop.DispatchOne() || loop.FireDue() || loop.PaintOne()) continue;
    loop.Wait();
  }
}

}  // namespace kl::platform
