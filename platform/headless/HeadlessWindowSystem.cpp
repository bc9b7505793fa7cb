#include "platform/headless/HeadlessWindowSystem.h"

#include <algorithm>
#include <chrono>

namespace kl::platform {

namespace {

LPARAM SizeParam(const CRect& r) { return MakePointParam(r.Width(), r.Height()); }

bool IsPopup(const WindowParams& p) { return p.kind == WindowKind::Popup; }

}  // namespace

HeadlessWindowSystem::HeadlessWindowSystem() = default;
HeadlessWindowSystem::~HeadlessWindowSystem() = default;

HeadlessWindowSystem::Window* HeadlessWindowSystem::Find(WindowId window) {
  auto it = m_windows.find(window);
  return it == m_windows.end() ? nullptr : &it->second;
}

const HeadlessWindowSystem::Window* HeadlessWindowSystem::Find(WindowId window) const {
  auto it = m_windows.find(window);
  return it == m_windows.end() ? nullptr : &it->second;
}

LRESULT HeadlessWindowSystem::Deliver(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowListener* listener = nullptr;
  {
    std::lock_guard lock(m_lock);
    const Window* w = Find(window);
    if (!w) return 0;
    listener = w->listener;
  }
  return listener ? listener->OnPlatformMessage(window, msg, wParam, lParam) : 0;
}

WindowId HeadlessWindowSystem::CreateWindow(const WindowParams& params, WindowListener* listener) {
  if (!IsUiThread() || params.bounds.Width() <= 0 || params.bounds.Height() <= 0) return 0;
  WindowId id = 0;
  {
    std::lock_guard lock(m_lock);
    id = m_nextId++;
    Window& w = m_windows[id];
    w.params = params;
    w.listener = listener;
    w.surface.assign(static_cast<size_t>(params.bounds.Width()) * params.bounds.Height(), 0);
    m_zOrder.push_back(id);
  }
  Deliver(id, WM_CREATE, 0, 0);
  return id;
}

bool HeadlessWindowSystem::DestroyWindow(WindowId window) {
  if (!IsUiThread() || !IsWindow(window)) return false;
  // Owned windows go first, as on every desktop.
  std::vector<WindowId> owned;
  {
    std::lock_guard lock(m_lock);
    for (auto& [id, w] : m_windows)
      if (w.params.owner == window) owned.push_back(id);
  }
  for (WindowId child : owned) DestroyWindow(child);
  if (m_capture == window) ReleaseCapture();
  Deliver(window, WM_DESTROY, 0, 0);
  Deliver(window, WM_NCDESTROY, 0, 0);
  std::lock_guard lock(m_lock);
  m_windows.erase(window);
  std::erase(m_zOrder, window);
  m_timers.RemoveWindow(window);
  std::erase_if(m_queue, [&](const Item& i) { return !i.task && i.window == window; });
  if (m_active == window) m_active = 0;
  if (m_focus == window) m_focus = 0;
  if (m_pointerWindow == window) m_pointerWindow = 0;
  if (m_moveDrag == window) m_moveDrag = 0;
  return true;
}

bool HeadlessWindowSystem::IsWindow(WindowId window) const {
  std::lock_guard lock(m_lock);
  return Find(window) != nullptr;
}

bool HeadlessWindowSystem::ShowWindow(WindowId window, bool show) {
  if (!IsUiThread()) return false;
  bool firstShow = false;
  bool restore = false;
  CRect bounds;
  {
    std::lock_guard lock(m_lock);
    Window* w = Find(window);
    if (!w) return false;
    restore = show && w->visible && w->minimized;
    if (w->visible == show && !restore) return true;
  }
  if (restore) return ActivateWindow(window);  // activating restores it
  {
    std::lock_guard lock(m_lock);
    Window* w = Find(window);
    w->visible = show;
    firstShow = show && !w->shownOnce;
    w->shownOnce = w->shownOnce || show;
    if (show) w->dirty = CRect(0, 0, w->params.bounds.Width(), w->params.bounds.Height());
    bounds = w->params.bounds;
  }
  Deliver(window, WM_SHOWWINDOW, show ? 1 : 0, 0);
  if (firstShow) Deliver(window, WM_SIZE, SIZE_RESTORED, SizeParam(bounds));
  if (show) {
    // Popups too take activation (from their owner), so that losing it closes them.
    Raise(window);
    bool activate = false;
    {
      std::lock_guard lock(m_lock);
      const Window* w = Find(window);
      activate = w && !w->params.noActivate;
    }
    if (activate) ActivateWindow(window);
  } else if (m_active == window) {
    m_active = 0;
    Deliver(window, WM_NCACTIVATE, 0, 0);
    const WindowId owner = GetOwner(window);
    if (owner && IsWindowVisible(owner)) ActivateWindow(owner);
  }
  if (!show && m_capture == window) ReleaseCapture();
  PosChanged(window);
  return true;
}

bool HeadlessWindowSystem::MinimizeWindow(WindowId window) {
  if (!IsUiThread()) return false;
  CRect bounds;
  {
    std::lock_guard lock(m_lock);
    Window* w = Find(window);
    if (!w || !w->visible || w->minimized) return w && w->minimized;
    w->minimized = true;
    bounds = w->params.bounds;
  }
  if (m_active == window) {
    m_active = 0;
    Deliver(window, WM_NCACTIVATE, 0, 0);
  }
  Deliver(window, WM_SIZE, SIZE_MINIMIZED, 0);
  PosChanged(window);
  return true;
}

bool HeadlessWindowSystem::IsMinimized(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w && w->minimized;
}

void HeadlessWindowSystem::Restore(WindowId window) {
  CRect bounds;
  {
    std::lock_guard lock(m_lock);
    Window* w = Find(window);
    if (!w || !w->minimized) return;
    w->minimized = false;
    bounds = w->params.bounds;
    w->dirty = CRect(0, 0, bounds.Width(), bounds.Height());
  }
  Deliver(window, WM_SIZE, SIZE_RESTORED, SizeParam(bounds));
  PosChanged(window);
}

bool HeadlessWindowSystem::IsWindowVisible(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w && w->visible;
}

bool HeadlessWindowSystem::SetWindowBounds(WindowId window, const CRect& screen) {
  if (!IsUiThread() || screen.Width() <= 0 || screen.Height() <= 0) return false;
  bool moved = false;
  bool resized = false;
  {
    std::lock_guard lock(m_lock);
    Window* w = Find(window);
    if (!w) return false;
    const CRect old = w->params.bounds;
    moved = old.TopLeft() != screen.TopLeft();
    resized = old.Size() != screen.Size();
    w->params.bounds = screen;
    if (resized) {
      w->surface.assign(static_cast<size_t>(screen.Width()) * screen.Height(), 0);
      w->dirty = CRect(0, 0, screen.Width(), screen.Height());
    }
  }
  if (moved) Deliver(window, WM_MOVE, 0, MakePointParam(screen.left, screen.top));
  if (resized) Deliver(window, WM_SIZE, SIZE_RESTORED, SizeParam(screen));
  if (moved || resized) PosChanged(window);
  return true;
}

CRect HeadlessWindowSystem::GetWindowBounds(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w ? w->params.bounds : CRect();
}

bool HeadlessWindowSystem::SetWindowTitle(WindowId window, const std::wstring& title) {
  if (!IsUiThread()) return false;
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return false;
  w->params.title = title;
  return true;
}

std::wstring HeadlessWindowSystem::GetWindowTitle(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w ? w->params.title : std::wstring();
}

WindowId HeadlessWindowSystem::GetOwner(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w ? w->params.owner : 0;
}

bool HeadlessWindowSystem::SetTopmost(WindowId window, bool topmost) {
  if (!IsUiThread()) return false;
  {
    std::lock_guard lock(m_lock);
    Window* w = Find(window);
    if (!w) return false;
    w->params.topmost = topmost;
  }
  Raise(window);
  PosChanged(window);
  return true;
}

bool HeadlessWindowSystem::PlaceBehind(WindowId window, WindowId above) {
  if (!IsUiThread() || window == above) return false;
  {
    std::lock_guard lock(m_lock);
    if (!Find(window) || !Find(above)) return false;
    std::erase(m_zOrder, window);
    m_zOrder.insert(std::find(m_zOrder.begin(), m_zOrder.end(), above), window);
  }
  PosChanged(window);
  return true;
}

std::vector<WindowId> HeadlessWindowSystem::StackingOrder() const {
  std::lock_guard lock(m_lock);
  return m_zOrder;
}

bool HeadlessWindowSystem::EnableWindow(WindowId window, bool enable) {
  if (!IsUiThread()) return false;
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return false;
  w->enabled = enable;
  return true;
}

bool HeadlessWindowSystem::IsWindowEnabled(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w && w->enabled;
}

bool HeadlessWindowSystem::SetLayered(WindowId window, bool layered) {
  if (!IsUiThread()) return false;
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return false;
  w->params.layered = layered;
  return true;
}

bool HeadlessWindowSystem::SetIcon(WindowId window, int width, int height, const std::vector<uint32_t>& argb) {
  if (!IsUiThread() || width <= 0 || height <= 0 || argb.size() != static_cast<size_t>(width) * height) return false;
  return IsWindow(window);
}

bool HeadlessWindowSystem::ActivateWindow(WindowId window) {
  if (!IsUiThread() || !IsWindow(window)) return false;
  Restore(window);
  const WindowId old = m_active;
  if (old == window) return true;
  m_active = window;
  m_focus = window;
  if (old) Deliver(old, WM_NCACTIVATE, 0, 0);
  Deliver(window, WM_NCACTIVATE, 1, 0);
  Raise(window);
  PosChanged(window);
  return true;
}

WindowId HeadlessWindowSystem::GetActiveWindow() const { return m_active; }

std::vector<WindowId> HeadlessWindowSystem::FindWindows(const std::wstring& className, const std::wstring& title) const {
  std::lock_guard lock(m_lock);
  std::vector<WindowId> found;
  for (const auto& [id, w] : m_windows)
    if (w.params.className == className && (title.empty() || w.params.title == title)) found.push_back(id);
  return found;
}

CRect HeadlessWindowSystem::GetWorkArea(CPoint) const { return m_workArea; }

bool HeadlessWindowSystem::Invalidate(WindowId window, const CRect* rect) {
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return false;
  const CRect client(0, 0, w->params.bounds.Width(), w->params.bounds.Height());
  w->dirty = CRect::Union(w->dirty, rect ? CRect::Intersect(*rect, client) : client);
  m_posted.notify_all();
  return true;
}

CRect HeadlessWindowSystem::BeginPaint(WindowId window) {
  if (!IsUiThread()) return {};
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return {};
  const CRect dirty = w->dirty;
  w->dirty = CRect();
  return dirty;
}

bool HeadlessWindowSystem::Present(WindowId window, const PixelView& buffer, const CRect& dirty) {
  if (!IsUiThread() || !buffer.pixels) return false;
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return false;
  const int cw = w->params.bounds.Width();
  const int ch = w->params.bounds.Height();
  const CRect r = CRect::Intersect(dirty, CRect(0, 0, std::min(cw, buffer.width), std::min(ch, buffer.height)));
  for (int y = r.top; y < r.bottom; ++y)
    std::copy_n(buffer.pixels + static_cast<size_t>(y) * buffer.stride + r.left, r.Width(),
                w->surface.begin() + static_cast<ptrdiff_t>(y) * cw + r.left);
  ++w->presents;
  w->lastPresent = r;
  return true;
}

bool HeadlessWindowSystem::SetCapture(WindowId window) {
  if (!IsUiThread() || !IsWindow(window)) return false;
  if (m_capture && m_capture != window) Deliver(m_capture, WM_CAPTURECHANGED, 0, 0);
  m_capture = window;
  return true;
}

bool HeadlessWindowSystem::ReleaseCapture() {
  if (!IsUiThread()) return false;
  const WindowId old = m_capture;
  m_capture = 0;
  if (old) Deliver(old, WM_CAPTURECHANGED, 0, 0);
  return true;
}

WindowId HeadlessWindowSystem::GetCapture() const { return m_capture; }

bool HeadlessWindowSystem::TrackMouse(WindowId window, int hoverMs) {
  if (!IsUiThread()) return false;
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return false;
  w->trackHoverMs = std::max(hoverMs, 0);
  return true;
}

bool HeadlessWindowSystem::StartMoveDrag(WindowId window, CPoint screenPoint) {
  if (!IsUiThread() || !IsWindow(window) || !m_keys[VK_LBUTTON]) return false;
  const CRect b = GetWindowBounds(window);
  m_moveDrag = window;
  m_moveDragOffset = {screenPoint.x - b.left, screenPoint.y - b.top};
  return true;
}

bool HeadlessWindowSystem::SetCursor(WindowId window, Cursor cursor) {
  if (!IsUiThread()) return false;
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return false;
  w->cursor = cursor;
  return true;
}

bool HeadlessWindowSystem::SetFocus(WindowId window) {
  if (!IsUiThread() || !IsWindow(window)) return false;
  const WindowId old = m_focus;
  if (old == window) return true;
  m_focus = window;
  if (old) Deliver(old, WM_KILLFOCUS, window, 0);
  Deliver(window, WM_SETFOCUS, old, 0);
  return true;
}

WindowId HeadlessWindowSystem::GetFocus() const { return m_focus; }

bool HeadlessWindowSystem::SetImeEnabled(WindowId window, bool enabled) {
  if (!IsUiThread()) return false;
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return false;
  w->ime = enabled;
  return true;
}

bool HeadlessWindowSystem::IsKeyDown(UINT vk) const { return vk < 256 && m_keys[vk]; }

CPoint HeadlessWindowSystem::GetCursorPos() const { return m_pointer; }

bool HeadlessWindowSystem::Post(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard lock(m_lock);
  if (!Find(window)) return false;
  m_queue.push_back({window, msg, wParam, lParam, {}});
  m_posted.notify_all();
  return true;
}

LRESULT HeadlessWindowSystem::Send(WindowId window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsUiThread()) return 0;
  return Deliver(window, msg, wParam, lParam);
}

void HeadlessWindowSystem::PostTask(std::function<void()> task) {
  if (!task) return;
  std::lock_guard lock(m_lock);
  m_queue.push_back({0, 0, 0, 0, std::move(task)});
  m_posted.notify_all();
}

bool HeadlessWindowSystem::DispatchOne() {
  Item item;
  {
    std::lock_guard lock(m_lock);
    if (m_queue.empty()) return false;
    item = std::move(m_queue.front());
    m_queue.pop_front();
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

bool HeadlessWindowSystem::PaintOne() {
  WindowId target = 0;
  {
    std::lock_guard lock(m_lock);
    for (auto& [id, w] : m_windows)
      if (w.visible && !w.minimized && !w.dirty.IsRectEmpty()) {
        target = id;
        break;
      }
  }
  if (!target) return false;
  Deliver(target, WM_PAINT, 0, 0);
  // A listener that does not paint must not make the loop spin.
  std::lock_guard lock(m_lock);
  if (Window* w = Find(target)) w->dirty = CRect();
  return true;
}

void HeadlessWindowSystem::PumpMessages() {
  if (!IsUiThread()) return;
  while (DispatchOne() || PaintOne()) {
  }
}

bool HeadlessWindowSystem::FireNextTimer(uint64_t limit) {
  // The earliest due timer or hover not later than `limit`.
  uint64_t due = m_timers.NextDue();
  WindowId hoverWindow = 0;
  {
    std::lock_guard lock(m_lock);
    if (Window* w = Find(m_pointerWindow); w && w->trackHoverMs >= 0) {
      const uint64_t hoverDue = m_lastMoveMs + static_cast<uint64_t>(w->trackHoverMs);
      if (hoverDue < due) {
        due = hoverDue;
        hoverWindow = m_pointerWindow;
      }
    }
  }
  if (due > limit) return false;
  m_now = std::max(m_now, due);
  if (hoverWindow) {
    {
      std::lock_guard lock(m_lock);
      Find(hoverWindow)->trackHoverMs = -1;
    }
    const CRect b = GetWindowBounds(hoverWindow);
    Deliver(hoverWindow, WM_MOUSEHOVER, KeyFlags(), MakePointParam(m_pointer.x - b.left, m_pointer.y - b.top));
    return true;
  }
  const std::optional<TimerList::Timer> fired = m_timers.TakeDue(due, m_now);
  if (fired->window) Deliver(fired->window, WM_TIMER, fired->id, 0);
  else if (fired->tick) fired->tick(fired->id);
  return true;
}

void HeadlessWindowSystem::AdvanceTime(uint64_t ms) {
  if (!IsUiThread()) return;
  const uint64_t target = m_now + ms;
  PumpMessages();
  while (FireNextTimer(target)) PumpMessages();
  m_now = target;
  PumpMessages();
}

bool HeadlessWindowSystem::RunMessageLoop(const std::function<bool()>& keepRunning) {
  if (!IsUiThread()) return false;
  const uint64_t start = m_now;
  for (;;) {
    if (IsQuitPending()) return false;
    if (keepRunning && !keepRunning()) return true;
    if (DispatchOne() || PaintOne()) continue;
    if (m_now - start < kMaxLoopFakeMs && FireNextTimer(start + kMaxLoopFakeMs)) continue;
    std::unique_lock lock(m_lock);
    if (!m_posted.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs), [&] { return !m_queue.empty() || m_quit; }))
      return true;  // nothing can happen any more: end instead of hanging
  }
}

void HeadlessWindowSystem::PostQuit(int exitCode) {
  std::lock_guard lock(m_lock);
  m_quit = true;
  m_quitCode = exitCode;
  m_posted.notify_all();
}

bool HeadlessWindowSystem::IsQuitPending() const {
  std::lock_guard lock(m_lock);
  return m_quit;
}

int HeadlessWindowSystem::QuitCode() const {
  std::lock_guard lock(m_lock);
  return m_quitCode;
}

bool HeadlessWindowSystem::SetTimer(WindowId window, UINT id, UINT ms) {
  if (!IsUiThread() || !IsWindow(window)) return false;
  m_timers.Set(window, id, ms, m_now);
  return true;
}

bool HeadlessWindowSystem::KillTimer(WindowId window, UINT id) { return IsUiThread() && m_timers.Kill(window, id); }

TickId HeadlessWindowSystem::StartTick(UINT ms, std::function<void(TickId)> callback) {
  if (!IsUiThread() || !callback) return 0;
  return m_timers.StartTick(ms, std::move(callback), m_now);
}

bool HeadlessWindowSystem::StopTick(TickId tick) { return IsUiThread() && m_timers.StopTick(tick); }

uint64_t HeadlessWindowSystem::NowMs() const { return m_now; }

bool HeadlessWindowSystem::OpenUrl(const std::wstring& url) {
  if (url.empty()) return false;
  std::lock_guard lock(m_lock);
  m_openedUrls.push_back(url);
  return true;
}

bool HeadlessWindowSystem::SetClipboardText(const std::wstring& text) {
  if (!IsUiThread()) return false;
  m_clipboard = text;
  return true;
}

std::wstring HeadlessWindowSystem::GetClipboardText() { return IsUiThread() ? m_clipboard : std::wstring(); }

bool HeadlessWindowSystem::RegisterDropTarget(WindowId window) {
  if (!IsUiThread() || !m_dropAvailable) return false;
  std::lock_guard lock(m_lock);
  Window* w = Find(window);
  if (!w) return false;
  w->dropTarget = true;
  return true;
}

// ---- injected input ----

WindowId HeadlessWindowSystem::WindowAt(CPoint screen) const {
  std::lock_guard lock(m_lock);
  for (auto it = m_zOrder.rbegin(); it != m_zOrder.rend(); ++it) {
    const Window* w = Find(*it);
    if (w && w->visible && !w->minimized && !w->params.clickThrough && w->params.bounds.PtInRect(screen)) return *it;
  }
  return 0;
}

void HeadlessWindowSystem::Raise(WindowId window) {
  std::lock_guard lock(m_lock);
  std::erase(m_zOrder, window);
  m_zOrder.push_back(window);
  // Topmost windows stay above the others.
  std::stable_partition(m_zOrder.begin(), m_zOrder.end(), [&](WindowId id) {
    const Window* w = Find(id);
    return w && !w->params.topmost;
  });
}

UINT HeadlessWindowSystem::KeyFlags() const {
  UINT flags = 0;
  if (m_keys[VK_LBUTTON]) flags |= MK_LBUTTON;
  if (m_keys[VK_RBUTTON]) flags |= MK_RBUTTON;
  if (m_keys[VK_MBUTTON]) flags |= MK_MBUTTON;
  if (m_keys[VK_SHIFT]) flags |= MK_SHIFT;
  if (m_keys[VK_CONTROL]) flags |= MK_CONTROL;
  return flags;
}

void HeadlessWindowSystem::MovePointerTo(WindowId target) {
  if (target == m_pointerWindow) return;
  const WindowId old = m_pointerWindow;
  m_pointerWindow = target;
  bool tracked = false;
  {
    std::lock_guard lock(m_lock);
    if (Window* w = Find(old); w && w->trackHoverMs >= 0) {
      w->trackHoverMs = -1;
      tracked = true;
    }
  }
  if (tracked) Deliver(old, WM_MOUSELEAVE, 0, 0);
}

void HeadlessWindowSystem::MouseMove(CPoint screen) {
  if (!IsUiThread()) return;
  m_pointer = screen;
  m_lastMoveMs = m_now;
  if (m_moveDrag) {
    const CRect b = GetWindowBounds(m_moveDrag);
    SetWindowBounds(m_moveDrag, CRect(screen.x - m_moveDragOffset.x, screen.y - m_moveDragOffset.y,
                                      screen.x - m_moveDragOffset.x + b.Width(), screen.y - m_moveDragOffset.y + b.Height()));
    PumpMessages();
    return;
  }
  const WindowId under = WindowAt(screen);
  MovePointerTo(under);
  const WindowId target = m_capture ? m_capture.load() : under;
  if (target && IsWindowEnabled(target)) {
    const CRect b = GetWindowBounds(target);
    Deliver(target, WM_MOUSEMOVE, KeyFlags(), MakePointParam(screen.x - b.left, screen.y - b.top));
  }
  PumpMessages();
}

void HeadlessWindowSystem::MouseButton(UINT downMsg, CPoint screen, bool down) {
  if (!IsUiThread()) return;
  const int button = downMsg == WM_LBUTTONDOWN ? 0 : downMsg == WM_RBUTTONDOWN ? 1 : 2;
  const UINT vk = button == 0 ? VK_LBUTTON : button == 1 ? VK_RBUTTON : VK_MBUTTON;
  if (m_pointer != screen) MouseMove(screen);
  m_keys[vk] = down;
  if (!down && m_moveDrag) {
    m_moveDrag = 0;
    PumpMessages();
    return;
  }
  const WindowId under = WindowAt(screen);
  if (down) {
    // A press outside the active popup takes its activation away (it closes itself) and is eaten.
    WindowId popup = 0;
    {
      std::lock_guard lock(m_lock);
      const Window* a = Find(m_active);
      if (a && a->visible && IsPopup(a->params) && !a->params.bounds.PtInRect(screen)) popup = m_active;
    }
    if (popup && under != popup && m_capture != popup) {
      m_active = 0;
      Deliver(popup, WM_NCACTIVATE, 0, 0);
      m_clicks.Reset();
      PumpMessages();
      return;
    }
  }
  const WindowId target = m_capture ? m_capture.load() : under;
  if (!target || !IsWindowEnabled(target)) {
    PumpMessages();
    return;
  }
  UINT msg = downMsg + (down ? 0 : 1);
  if (down) {
    if (m_clicks.OnPress(target, button, screen, m_now)) msg = downMsg + 2;
    bool activate = false;
    {
      std::lock_guard lock(m_lock);
      const Window* w = Find(target);
      activate = w && !IsPopup(w->params) && !w->params.noActivate && m_active != target;
    }
    if (activate) ActivateWindow(target);
  }
  const CRect b = GetWindowBounds(target);
  Deliver(target, msg, KeyFlags(), MakePointParam(screen.x - b.left, screen.y - b.top));
  PumpMessages();
}

void HeadlessWindowSystem::Click(CPoint screen) {
  MouseButton(WM_LBUTTONDOWN, screen, true);
  MouseButton(WM_LBUTTONDOWN, screen, false);
}

void HeadlessWindowSystem::Wheel(CPoint screen, int delta) {
  if (!IsUiThread()) return;
  if (m_pointer != screen) MouseMove(screen);
  const WindowId target = m_capture ? m_capture.load() : WindowAt(screen);
  if (target && IsWindowEnabled(target))
    Deliver(target, WM_MOUSEWHEEL, (static_cast<WPARAM>(static_cast<uint16_t>(delta)) << 16) | KeyFlags(),
            MakePointParam(screen.x, screen.y));
  PumpMessages();
}

void HeadlessWindowSystem::Key(UINT vk, bool down) {
  if (!IsUiThread() || vk >= 256) return;
  const bool repeat = down && m_keys[vk];
  m_keys[vk] = down;
  if (vk == VK_LSHIFT || vk == VK_RSHIFT) m_keys[VK_SHIFT] = down;
  if (vk == VK_LCONTROL || vk == VK_RCONTROL) m_keys[VK_CONTROL] = down;
  if (vk == VK_LMENU || vk == VK_RMENU) m_keys[VK_MENU] = down;
  if (m_focus && IsWindowEnabled(m_focus)) {
    const bool sys = m_keys[VK_MENU] || vk == VK_MENU;
    // Messages carry the side-less codes for Shift, Ctrl and Alt, as on Windows.
    const UINT sent = vk == VK_LSHIFT || vk == VK_RSHIFT        ? VK_SHIFT
                      : vk == VK_LCONTROL || vk == VK_RCONTROL  ? VK_CONTROL
                      : vk == VK_LMENU || vk == VK_RMENU        ? VK_MENU
                                                                : vk;
    const UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    // lParam: repeat count 1, bit 30 = the key was already down, bit 31 = release.
    const LPARAM l = 1 | (repeat ? (1 << 30) : 0) | (down ? 0 : static_cast<LPARAM>(1u << 31));
    Deliver(m_focus, msg, sent, l);
  }
  PumpMessages();
}

void HeadlessWindowSystem::Char(wchar_t ch) {
  if (!IsUiThread()) return;
  if (m_focus && IsWindowEnabled(m_focus)) Deliver(m_focus, WM_CHAR, static_cast<WPARAM>(ch), 1);
  PumpMessages();
}

uint32_t HeadlessWindowSystem::PixelAt(WindowId window, int x, int y) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  if (!w || x < 0 || y < 0 || x >= w->params.bounds.Width() || y >= w->params.bounds.Height()) return 0;
  return w->surface[static_cast<size_t>(y) * w->params.bounds.Width() + x];
}

std::vector<uint32_t> HeadlessWindowSystem::Pixels(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w ? w->surface : std::vector<uint32_t>();
}

int HeadlessWindowSystem::PresentCount(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w ? w->presents : 0;
}

CRect HeadlessWindowSystem::LastPresentRect(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w ? w->lastPresent : CRect();
}

Cursor HeadlessWindowSystem::CurrentCursor(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w ? w->cursor : Cursor::Arrow;
}

bool HeadlessWindowSystem::IsLayered(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w && w->params.layered;
}

bool HeadlessWindowSystem::IsTopmost(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w && w->params.topmost;
}

bool HeadlessWindowSystem::IsImeEnabled(WindowId window) const {
  std::lock_guard lock(m_lock);
  const Window* w = Find(window);
  return w && w->ime;
}

}  // namespace kl::platform
