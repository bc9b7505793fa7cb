#include "velaui/core/PaintManager.h"

#include <algorithm>
#include <cstdlib>
#include <cwctype>

#include "base/Path.h"
#include "platform/Paths.h"
#include "velaui/core/ControlFactory.h"
#include "velaui/core/Fonts.h"
#include "velaui/core/MBalloon.h"
#include "velaui/core/MControl.h"
#include "velaui/core/MControlFont.h"
#include "velaui/core/MRender.h"
#include "velaui/core/MWindow.h"
#include "velaui/core/Manager.h"
#include "velaui/core/TooltipWnd.h"

namespace kl::vela {

namespace {
// Control timers take window timer IDs 1..239 in turn, skipping the overlay and caret IDs and
// IDs still held by another control timer.
constexpr UINT kTimerIdCycle = 240;
bool IsReservedTimerId(UINT id) {
  return id == PaintManager::kTimerOverlayShow || id == PaintManager::kTimerOverlayFade || id == PaintManager::kTimerProgress ||
         id == PaintManager::kTimerCaret;
}
}  // namespace

PaintManager::PaintManager() : m_msgFace(Manager::GetFontName()) {}

PaintManager::~PaintManager() { DestroyData(); }

platform::WindowSystem* PaintManager::WS() const { return platform::GetWindowSystem(); }

void PaintManager::Init(platform::WindowId window, MWindow* owner) {
  platform::WindowSystem* ws = WS();
  if (!ws || !ws->IsWindow(window)) return;
  m_window = window;
  m_owner = owner;
  InitDragDrop();
  // An install may ship the program's text face beside the executable; the system face stands
  // in for it otherwise (see the alias table in Fonts.cpp).
  const std::wstring fontFile = JoinPath(JoinPath(platform::ModuleFolder(), L"font"), L"SourceHanSansCN-Regular.otf");
  AddTempFont(L"SourceHanSansCN-Regular", fontFile);
  m_initialized = true;
}

void PaintManager::DeleteOwnedLists() {
  std::vector<MControl*> areas;
  std::vector<MControl*> controls;
  areas.swap(m_areas);
  controls.swap(m_controls);
  for (MControl* c : areas) delete c;
  for (MControl* c : controls) delete c;
}

void PaintManager::DestroyData() {
  MMediaTimer::KillTimer();
  m_tick = 0;
  ClearTimers();
  DeleteOwnedLists();
  m_tickList.clear();
  m_hover = m_focus = m_caretObject = nullptr;
  m_balloon.reset();
  m_tooltip.reset();
  m_bkImage.reset();
  m_buffer.reset();
  ClearImgResInfo();
  ClearTempFont();
  m_initialized = false;
}

// ---- controls ----

MControl* PaintManager::CreateControl(UINT kind, MObject* parent, const wchar_t* className, UINT id, CRect rect,
                                      const wchar_t* title, int a, int b) {
  MControl* control = ControlFactory::Construct(ControlContainer::Dialog, parent, className, id, rect, title, a, b);
  if (!control) return nullptr;
  control->SetManager(this);
  control->InitControl(this);
  if (kind == 0) m_areas.push_back(control);
  else if (kind == 1) m_controls.push_back(control);
  if (control->IsVisible()) InvalidateRect(control->GetRect(), 1);
  return control;
}

void PaintManager::AddControl(MControl* control, int kind) {
  if (!control) return;
  control->SetManager(this);
  control->InitControl(this);
  (kind == 0 ? m_areas : m_controls).push_back(control);
  if (control->IsVisible()) InvalidateRect(control->GetRect(), 1);
}

MControl* PaintManager::GetControl(UINT id) {
  for (auto* list : {&m_controls, &m_areas})
    for (MControl* c : *list) {
      if (c->GetControlID() == id) return c;
      if (MControl* found = c->GetControl(id)) return found;
    }
  return nullptr;
}

bool PaintManager::RemoveControl(MControl* control) {
  const bool listed = std::find(m_controls.begin(), m_controls.end(), control) != m_controls.end() ||
                      std::find(m_areas.begin(), m_areas.end(), control) != m_areas.end();
  if (!control || !listed) return false;
  if (m_focus == control) {
    control->SetControlFocus(0);
    control->SetFocusedFlag(0);
  }
  const CRect rect = control->GetRect();
  delete control;  // ~MControl calls ForgetControl
  InvalidateRect(rect, 1);
  return true;
}

void PaintManager::ClearControls() {
  std::vector<MControl*> controls;
  controls.swap(m_controls);
  for (MControl* c : controls) delete c;
}

void PaintManager::ClearAreaControls() {
  std::vector<MControl*> areas;
  areas.swap(m_areas);
  for (MControl* c : areas) delete c;
}

void PaintManager::ClearAllControls() {
  ClearAreaControls();
  ClearControls();
}

void PaintManager::ForgetControl(MControl* control) {
  std::erase(m_controls, control);
  std::erase(m_areas, control);
  if (m_hover == control) m_hover = nullptr;
  if (m_focus == control) m_focus = nullptr;
  if (m_caretObject == control) {
    m_caretObject = nullptr;
    ShowCaret(0);
  }
  if (m_tooltipOwner && m_tooltipOwner == control->GetControlID()) ClearTooltip();
  KillTimer(control);
  std::erase(m_tickList, control);
  if (m_hover == nullptr) m_pressedInControl = false;
}

// ---- painting ----

void PaintManager::Invalidate() {
  if (WS() && m_window) WS()->Invalidate(m_window, nullptr);
}

void PaintManager::InvalidateRect(const CRect& rect, int erase) {
  if (!WS() || !m_window) return;
  if (m_layered) WS()->Invalidate(m_window, nullptr);
  else WS()->Invalidate(m_window, &rect);
}

LRESULT PaintManager::OnControlUpdate(CRect dirty, int erase, MControl* control) {
  if (!control) return 0;
  if (erase) control->SetUpdate(0, m_fill);
  if (m_initialized) {
    // Controls drawn after the requester lie above it: the ones that meet the dirty rect redraw too.
    bool after = false;
    for (auto* list : {&m_areas, &m_controls})
      for (MControl* c : *list) {
        if (c == control) {
          after = true;
          continue;
        }
        if (after && c->IsVisible() && !CRect::Intersect(c->GetRect(), dirty).IsRectEmpty()) {
          c->SetUpdate(0, m_fill);
          dirty = CRect::Union(dirty, c->GetRect());
        }
      }
  }
  InvalidateRect(dirty, erase);
  return 1;
}

bool PaintManager::LoadBKImage(const std::wstring& file) {
  const ImgResInfo* info = AddImgResInfo(file.c_str(), 1);
  if (!info) return false;
  m_bkImage = info->image;
  Invalidate();
  return true;
}

void PaintManager::SetBackMode(enumBackMode mode, int frameWidth) {
  m_backMode = mode;
  m_backFrame = frameWidth;
  Invalidate();
}

void PaintManager::SetBackColor(COLORREF fill, COLORREF border) {
  m_fill = fill;
  m_border = border;
  Invalidate();
}

void PaintManager::DrawBackground(Canvas& canvas) {
  const CRect client = canvas.Bounds();
  if (m_bkImage) {
    const CRect src(0, 0, m_bkImage->Width(), m_bkImage->Height());
    if (m_backMode == BACK_MODE_FRAME)
      MRender::DrawImageFrame(canvas, *m_bkImage, client, 0, 0, src.Width(), src.Height(), m_backFrame);
    else
      canvas.DrawImage(*m_bkImage, src, src);
    return;
  }
  canvas.FillRect(client, ColorRefToArgb(m_border, 0xFE));
  CRect inner = client;
  inner.DeflateRect(1, 1);
  canvas.Save();
  cairo_set_operator(canvas.Cr(), CAIRO_OPERATOR_SOURCE);
  canvas.FillRect(inner, ColorRefToArgb(m_fill, 0xFE));
  canvas.Restore();
}

void PaintManager::DrawControl(Canvas& canvas, CRect clip) {
  for (size_t i = 0; i < m_areas.size(); ++i) m_areas[i]->Draw(canvas, clip);
  for (size_t i = 0; i < m_controls.size(); ++i) m_controls[i]->Draw(canvas, clip);
}

void PaintManager::DrawOverlay(Canvas& canvas) {
  if (m_msgAlpha <= 10 || m_msgText.empty()) return;
  const auto alpha = static_cast<uint8_t>(std::clamp(m_msgAlpha, 0, 255));
  const CRect& r = m_msgRect;
  canvas.FillRect(r, MakeArgb(alpha, 0x26, 0x2B, 0x33));
  CRect inner = r;
  inner.DeflateRect(1, 1);
  canvas.FillRect(inner, MakeArgb(alpha, 0x16, 0x1A, 0x20));
  const Font font{FindTempFont(m_msgFace), 12, FontStyleRegular};
  const ARGB text = MakeArgb(alpha, 0xE8, 0xEC, 0xF0);
  if (m_progressShown <= 0) {
    canvas.DrawText(m_msgText, CRect(r.left + 5, r.top + 5, r.left + 195, r.top + 55), font, text, DT_LEFT | DT_VCENTER | DT_WORDBREAK);
    return;
  }
  canvas.DrawText(m_msgText, CRect(r.left + 5, r.top + 5, r.right - 5, r.top + 35), font, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  canvas.DrawLine(r.left + 10, r.bottom - 15, r.right - 20, r.bottom - 15, MakeArgb(alpha, 0x3A, 0x40, 0x4A));
  const int width = std::min(m_progressShown, 100) * (r.Width() - 20) / 100;
  canvas.FillRect(CRect(r.left + 10, r.bottom - 16, r.left + 10 + width, r.bottom - 13),
                  (static_cast<ARGB>(alpha) << 24) | (Manager::GetSelectColor() & 0xFFFFFF));
}

void PaintManager::PaintInto(Canvas& canvas, const CRect& clip) {
  canvas.Save();
  canvas.ClipRect(clip);
  canvas.ClearRect(clip);
  DrawBackground(canvas);
  DrawControl(canvas, clip);
  DrawCaret(canvas, clip);
  DrawOverlay(canvas);
  canvas.Restore();
}

int PaintManager::OnPaint() {
  platform::WindowSystem* ws = WS();
  if (!ws || !m_window) return 0;
  const CRect dirty = ws->BeginPaint(m_window);
  if (dirty.IsRectEmpty()) return 0;
  const CRect client = GetClientRect();
  if (client.IsRectEmpty()) return 0;
  if (!m_buffer || m_buffer->Width() != client.Width() || m_buffer->Height() != client.Height()) {
    m_buffer = std::make_unique<Canvas>(client.Width(), client.Height());
    for (auto* list : {&m_areas, &m_controls})
      for (MControl* c : *list) c->SetUpdate(0, m_fill);  // caches were made over the old buffer
  }
  // A layered window is presented whole (its alpha shapes the window).
  const CRect clip = m_layered ? client : dirty;
  PaintInto(*m_buffer, clip);
  ws->Present(m_window, m_buffer->View(), clip);
  ++m_paintCount;
  return 1;
}

std::unique_ptr<Canvas> PaintManager::RenderToCanvas() {
  const CRect client = GetClientRect();
  if (client.IsRectEmpty()) return nullptr;
  auto canvas = std::make_unique<Canvas>(client.Width(), client.Height());
  for (auto* list : {&m_areas, &m_controls})
    for (MControl* c : *list) c->SetUpdate(0, m_fill);
  PaintInto(*canvas, client);
  for (auto* list : {&m_areas, &m_controls})
    for (MControl* c : *list) c->SetUpdate(0, m_fill);  // the caches now hold the other buffer's background
  return canvas;
}

void PaintManager::SetMessage(const std::wstring& text, CRect rect, MsgLevel level) {
  if (!WS() || !m_window) return;
  WS()->KillTimer(m_window, kTimerOverlayShow);
  WS()->KillTimer(m_window, kTimerOverlayFade);
  m_msgAlpha = 255;
  m_msgText = text;
  m_msgLevel = level;
  m_msgRect = rect;
  m_progressShown = 0;
  m_progressTarget = 0;
  InvalidateRect(rect, 1);
  WS()->SetTimer(m_window, kTimerOverlayShow, 3000);
}

void PaintManager::SetProgress(int percent, const std::wstring& text, CRect rect) {
  if (!WS() || !m_window || percent == m_progressTarget) return;
  if (percent < 5) WS()->KillTimer(m_window, kTimerOverlayFade);
  m_msgAlpha = 255;
  m_msgText = text;
  m_progressTarget = percent;
  if (rect.IsRectEmpty()) {
    const CRect client = GetClientRect();
    rect = CRect(client.left, client.bottom - 60, client.right, client.bottom - 2);
  }
  m_msgRect = rect;
  if (m_progressTarget - m_progressShown < 6) {
    m_progressShown = m_progressTarget;
    InvalidateRect(m_msgRect, 1);
    if (m_progressShown > 99) WS()->SetTimer(m_window, kTimerOverlayFade, 50);
  } else {
    WS()->SetTimer(m_window, kTimerProgress, 10);
  }
}

// ---- window ----

CRect PaintManager::GetClientRect() const {
  if (!WS() || !m_window) return {};
  const CRect b = WS()->GetWindowBounds(m_window);
  return CRect(0, 0, b.Width(), b.Height());
}

CRect PaintManager::GetWindowRect() const { return WS() && m_window ? WS()->GetWindowBounds(m_window) : CRect(); }

void PaintManager::GetClientSize(int& cx, int& cy) const {
  const CRect c = GetClientRect();
  cx = c.Width();
  cy = c.Height();
}

void PaintManager::SetCapture() {
  if (WS() && m_window && WS()->SetCapture(m_window)) m_captured = true;
}

void PaintManager::ReleaseCapture() {
  if (m_captured && WS() && WS()->GetCapture() == m_window) WS()->ReleaseCapture();
  m_captured = false;
}

// ---- input ----

UINT PaintManager::CurrentModifier() const {
  platform::WindowSystem* ws = WS();
  if (!ws) return 0;
  return ModifierCode(ws->IsKeyDown(VK_MENU), ws->IsKeyDown(VK_SHIFT), ws->IsKeyDown(VK_CONTROL));
}

LRESULT PaintManager::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  for (size_t i = 0; i < m_controls.size(); ++i)
    if (m_controls[i]->OnWindowMessage(msg, wParam, lParam)) return 0;
  const CPoint pt{PointParamX(lParam), PointParamY(lParam)};
  const UINT flags = static_cast<UINT>(wParam);
  int r = 0;
  switch (msg) {
    case WM_PAINT:
      r = OnPaint();
      break;
    case WM_CREATE:
    case WM_DESTROY:
    case WM_SIZE:
    case WM_CHAR:
    case WM_MOUSEHOVER:
      return 1;
    case WM_NCDESTROY:
      DestroyData();
      return 1;
    case WM_NCACTIVATE:
      r = OnNcActivate(static_cast<int>(wParam));
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      r = OnKeyDown(static_cast<UINT>(wParam), lParam);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      r = 0;
      break;
    case WM_TIMER:
      OnTimer(static_cast<UINT>(wParam));
      return 0;
    case WM_MOUSEMOVE:
      r = OnMouseMove(flags, pt);
      break;
    case WM_LBUTTONDOWN:
      r = OnLButtonDown(flags, pt);
      break;
    case WM_LBUTTONUP:
      r = OnLButtonUp(flags, pt);
      break;
    case WM_LBUTTONDBLCLK:
      r = OnLButtonDblClk(flags, pt);
      break;
    case WM_RBUTTONDOWN:
      r = OnRButtonDown(flags, pt);
      break;
    case WM_RBUTTONUP:
      r = OnRButtonUp(flags, pt);
      break;
    case WM_RBUTTONDBLCLK:
      r = OnRButtonDblClk(flags, pt);
      break;
    case WM_MOUSEWHEEL:
      r = OnMouseWheel(static_cast<UINT>(wParam & 0xFFFF), static_cast<int16_t>((wParam >> 16) & 0xFFFF), pt);
      break;
    case WM_MOUSELEAVE:
      r = OnMouseLeave();
      break;
    default:
      break;
  }
  return r ? 1 : 0;
}

int PaintManager::PreTranslateMessage(UINT msg, WPARAM wParam, LPARAM) {
  if ((msg != WM_KEYDOWN && msg != WM_SYSKEYDOWN) || wParam != VK_TAB) return 0;
  const UINT modifier = CurrentModifier();
  MControl* next = modifier == 0 ? GetNextFocusableControl() : modifier == 16 ? GetPrevFocusableControl() : nullptr;
  if (!next || next == m_focus) return 0;
  SetFocusControl(next);
  return 1;
}

int PaintManager::OnMouseMove(UINT flags, CPoint pt) {
  platform::WindowSystem* ws = WS();
  if (!m_tracking && ws) m_tracking = ws->TrackMouse(m_window, 400);
  if (MControl* hover = m_hover; hover && hover->PtInRect(pt) && hover->OnCheckMouseResponse(flags, pt) && m_tracking) {
    hover->OnMouseMove(flags, pt);
    return 1;
  }
  ClearTooltip();
  if (m_pressedInControl && m_hover) {
    // The pressed control keeps the gesture until the release, wherever the pointer goes.
    m_hover->OnMouseMove(flags, pt);
    return 1;
  }
  MControl* found = nullptr;
  for (size_t i = 0; i < m_controls.size(); ++i) {
    MControl* c = m_controls[i];
    if (c->OnMouseMove(flags, pt) && i < m_controls.size() && m_controls[i] == c && c->PtInRect(pt) && c->GetResponse()) found = c;
  }
  m_hover = found;
  return 1;
}

int PaintManager::OnMouseLeave() {
  ClearTooltip();
  m_tracking = false;
  if (!m_pressedInControl && m_hover) {
    MControl* hover = m_hover;
    m_hover = nullptr;
    hover->OnMouseMove(0, {-1, -1});
  }
  return 1;
}

int PaintManager::OnLButtonDown(UINT flags, CPoint pt) {
  if (m_focus && m_focus != m_hover) {
    m_focus->SetControlFocus(0);
    m_focus->SetFocusedFlag(0);
    m_focus = nullptr;
  }
  // The press hits the control under the pointer even when no move came first.
  if (!m_hover || !m_hover->PtInRect(pt))
    for (MControl* c : m_controls)
      if (c->PtInRect(pt) && c->GetResponse()) m_hover = c;
  MControl* hover = m_hover;
  if (hover && hover->IsVisible() && hover->GetResponse() && hover->PtInRect(pt) && hover->OnCheckMouseResponse(flags, pt)) {
    m_pressedInControl = true;
    SetFocusControl(hover);
    const bool wasCaptured = m_captured;
    const int handled = hover->OnLButtonDown(flags, pt);
    if (!wasCaptured) {
      if (m_hover == hover && hover->PtInRect(pt)) SetCapture();
      return 1;
    }
    if (handled) return 1;
  }
  if (!m_wndDrag) return 1;
  ReleaseCapture();
  m_pressedInControl = false;
  if (WS() && m_window) {
    const CRect b = GetWindowRect();
    WS()->Send(m_window, WM_NCLBUTTONDOWN, HTCAPTION, MakePointParam(pt.x + b.left, pt.y + b.top));
  }
  return 1;
}

int PaintManager::OnLButtonUp(UINT flags, CPoint pt) {
  ReleaseCapture();
  m_pressedInControl = false;
  MControl* hover = m_hover;
  if (hover && hover->IsVisible() && hover->GetResponse()) {
    hover->OnLButtonUp(flags, pt);
    if (m_hover == hover && !hover->PtInRect(pt)) m_hover = nullptr;
  }
  return 1;
}

int PaintManager::OnLButtonDblClk(UINT flags, CPoint pt) {
  MControl* hover = m_hover;
  if (hover && hover->IsVisible() && hover->GetResponse()) {
    m_pressedInControl = true;
    hover->OnLButtonDblClk(flags, pt);
    if (m_hover == hover && !hover->PtInRect(pt)) m_hover = nullptr;
  }
  return 1;
}

int PaintManager::OnRButtonDown(UINT flags, CPoint pt) {
  MControl* hover = m_hover;
  if (hover && hover->IsVisible() && hover->GetResponse() && hover->PtInRect(pt)) {
    m_rightPressed = true;
    hover->OnRButtonDown(flags, pt);
  }
  return 1;
}

int PaintManager::OnRButtonUp(UINT flags, CPoint pt) {
  m_rightPressed = false;
  MControl* hover = m_hover;
  if (hover && hover->IsVisible() && hover->GetResponse()) {
    hover->OnRButtonUp(flags, pt);
    if (m_hover == hover && !hover->PtInRect(pt)) m_hover = nullptr;
  }
  return 1;
}

int PaintManager::OnRButtonDblClk(UINT flags, CPoint pt) {
  MControl* hover = m_hover;
  if (hover && hover->IsVisible() && hover->GetResponse()) {
    hover->OnRButtonDblClk(flags, pt);
    if (m_hover == hover && !hover->PtInRect(pt)) m_hover = nullptr;
  }
  return 1;
}

int PaintManager::OnMouseWheel(UINT, int delta, CPoint screen) {
  const CRect b = GetWindowRect();
  const CPoint pt{screen.x - b.left, screen.y - b.top};
  const int notches = std::abs(delta / WHEEL_DELTA);
  const UINT down = delta / WHEEL_DELTA <= 0 ? 1 : 0;
  int handled = 0;
  for (int n = 0; n < notches; ++n) {
    if (m_hover && m_hover->OnScroll(1, down, pt)) {
      handled = 1;
      continue;
    }
    for (size_t i = 0; i < m_controls.size(); ++i)
      if (m_controls[i]->OnScroll(1, down, pt)) {
        handled = 1;
        break;
      }
  }
  return handled;
}

int PaintManager::OnKeyDown(UINT vk, LPARAM) {
  const UINT modifier = CurrentModifier();
  if (m_hover && m_hover->OnKeyDown(vk, 1, modifier)) return 1;
  for (size_t i = 0; i < m_controls.size(); ++i)
    if (m_controls[i]->OnKeyDown(vk, 1, modifier)) break;
  return 1;
}

int PaintManager::OnNcActivate(int active) {
  if (!active) {
    m_tracking = false;
    ReleaseCapture();
    const bool pressed = m_pressedInControl;
    m_pressedInControl = false;
    m_rightPressed = false;
    if (MControl* hover = m_hover) {
      m_hover = nullptr;
      if (pressed) hover->OnLButtonUp(0, {-1, -1});
      else hover->OnMouseMove(0, {-1, -1});
    }
  }
  Invalidate();
  return 0;
}

void PaintManager::SetFocusControl(MControl* control) {
  if (control == m_focus) return;
  MControl* old = m_focus;
  m_focus = control;
  if (old) {
    old->SetFocusedFlag(0);
    old->SetControlFocus(0);
  }
  if (control && m_focus == control) {
    control->SetFocusedFlag(1);
    control->SetControlFocus(1);
  }
}

MControl* PaintManager::GetNextFocusableControl() {
  auto focusable = [](MControl* c) { return c->IsVisible() && c->IsEnabled() && c->IsTabStop(); };
  auto it = std::find(m_controls.begin(), m_controls.end(), m_focus);
  if (it != m_controls.end())
    for (auto next = it + 1; next != m_controls.end(); ++next)
      if (focusable(*next)) return *next;
  for (MControl* c : m_controls)
    if (focusable(c)) return c;
  return nullptr;
}

MControl* PaintManager::GetPrevFocusableControl() {
  auto focusable = [](MControl* c) { return c->IsVisible() && c->IsEnabled() && c->IsTabStop(); };
  auto it = std::find(m_controls.rbegin(), m_controls.rend(), m_focus);
  if (it != m_controls.rend())
    for (auto prev = it + 1; prev != m_controls.rend(); ++prev)
      if (focusable(*prev)) return *prev;
  for (auto r = m_controls.rbegin(); r != m_controls.rend(); ++r)
    if (focusable(*r)) return *r;
  return nullptr;
}

// ---- timers ----

UINT PaintManager::NextWindowTimerId() {
  for (UINT tries = 0; tries < kTimerIdCycle; ++tries) {
    ++m_timerCounter;
    const UINT id = m_timerCounter % kTimerIdCycle;
    const bool live = std::any_of(m_timers.begin(), m_timers.end(), [&](const TimerEntry& t) { return t.windowTimerId == id; });
    if (id != 0 && !IsReservedTimerId(id) && !live) return id;
  }
  return 0;  // every ID of the cycle belongs to a timer (killed ones keep theirs for a restart)
}

int PaintManager::SetTimer(MControl* control, UINT id, UINT ms) {
  platform::WindowSystem* ws = WS();
  if (!control || !ws || !m_window) return 0;
  for (TimerEntry& t : m_timers)
    if (t.control == control && t.controlTimerId == id) {
      if (!t.killed || !ws->SetTimer(m_window, t.windowTimerId, ms)) return 0;
      t.killed = false;
      return 1;
    }
  const UINT windowId = NextWindowTimerId();
  if (windowId == 0 || !ws->SetTimer(m_window, windowId, ms)) return 0;
  m_timers.push_back({id, windowId, false, control});
  return 1;
}

int PaintManager::KillTimer(MControl* control, UINT id) {
  for (TimerEntry& t : m_timers)
    if (t.control == control && t.controlTimerId == id) {
      if (WS() && m_window) WS()->KillTimer(m_window, t.windowTimerId);
      t.killed = true;
      return 1;
    }
  return 0;
}

void PaintManager::KillTimer(MControl* control) {
  std::erase_if(m_timers, [&](const TimerEntry& t) {
    if (t.control != control) return false;
    if (WS() && m_window) WS()->KillTimer(m_window, t.windowTimerId);
    return true;
  });
}

void PaintManager::ClearTimers() {
  for (const TimerEntry& t : m_timers)
    if (WS() && m_window) WS()->KillTimer(m_window, t.windowTimerId);
  m_timers.clear();
}

UINT PaintManager::GetWindowTimerId(MControl* control, UINT id) const {
  for (const TimerEntry& t : m_timers)
    if (t.control == control && t.controlTimerId == id && !t.killed) return t.windowTimerId;
  return 0;
}

void PaintManager::OnTimer(UINT windowTimerId) {
  platform::WindowSystem* ws = WS();
  if (!ws) return;
  // Control timers never take the IDs below, so the two kinds cannot be confused.
  switch (windowTimerId) {
    case kTimerCaret:
      m_caretPhase = !m_caretPhase;
      InvalidateRect(m_caretRect, 0);
      return;
    case kTimerOverlayShow:
      ws->KillTimer(m_window, kTimerOverlayShow);
      ws->SetTimer(m_window, kTimerOverlayFade, 50);
      return;
    case kTimerOverlayFade:
      m_msgAlpha -= 10;
      if (m_msgAlpha < 20) {
        m_msgAlpha = 0;
        m_progressShown = 0;
        m_progressTarget = 0;
        ws->KillTimer(m_window, kTimerOverlayFade);
      }
      InvalidateRect(m_msgRect, 1);
      return;
    case kTimerProgress:
      m_progressShown += 2;
      if (m_progressShown >= m_progressTarget) {
        m_progressShown = m_progressTarget;
        ws->KillTimer(m_window, kTimerProgress);
      }
      InvalidateRect(m_msgRect, 1);
      if (m_progressShown >= 100) ws->SetTimer(m_window, kTimerOverlayFade, 50);
      return;
    default:
      break;
  }
  // A control's OnTimer may remove controls (and so timer entries): collect first.
  std::vector<MControl*> due;
  for (const TimerEntry& t : m_timers)
    if (t.windowTimerId == windowTimerId && !t.killed) due.push_back(t.control);
  for (MControl* c : due) {
    const bool alive = std::any_of(m_timers.begin(), m_timers.end(), [&](const TimerEntry& t) { return t.control == c; });
    if (alive) c->OnTimer();
  }
}

UINT PaintManager::SetMTimer(UINT ms) {
  if (m_tick) MMediaTimer::KillTimer(m_tick);
  m_tick = MMediaTimer::SetTimer(ms, L"", false);
  return m_tick;
}

int PaintManager::AddMTimer(MControl* control) {
  if (!control) return 0;
  // One entry per control: a control registered twice would tick twice as fast.
  if (std::find(m_tickList.begin(), m_tickList.end(), control) == m_tickList.end()) m_tickList.push_back(control);
  return 1;
}

int PaintManager::DeleteMTimer(MControl* control) {
  auto it = std::find(m_tickList.begin(), m_tickList.end(), control);
  if (it == m_tickList.end()) return 0;
  m_tickList.erase(it);
  return 1;
}

void PaintManager::OnMTimer(UINT id) {
  if (id != m_tick) return;
  const std::vector<MControl*> listed = m_tickList;
  for (MControl* c : listed) {
    // A tick handler may remove controls: act only on ones still listed.
    if (std::find(m_tickList.begin(), m_tickList.end(), c) == m_tickList.end()) continue;
    if (c->IsRunTimer() && c->IsVisible() && c->IsParentVisible()) c->OnTimer();
  }
}

// ---- tips ----

void PaintManager::SetTooltip(const wchar_t* text, CRect rect) {
  const std::wstring t = text ? text : L"";
  if (t.empty()) {
    if (m_tooltip) m_tooltip->Hide();
    return;
  }
  if (!m_window) return;
  if (!m_tooltip) m_tooltip = std::make_unique<TooltipWnd>();
  m_tooltip->ShowTip(m_window, t, WS() ? WS()->GetCursorPos() : CPoint{});
}

void PaintManager::ClearTooltip() {
  if (m_tooltip) m_tooltip->Hide();
  m_tooltipOwner = 0;
}

int PaintManager::SetBalloonMsg(const wchar_t* text, CPoint pt, int type, int mode) {
  if (!m_window) return 0;
  if (!m_balloon) {
    m_balloon = std::make_unique<MBalloon>();
    if (!m_balloon->Create(m_window, this)) {
      m_balloon.reset();
      return 0;
    }
  }
  return m_balloon->SetBalloonMsg(text ? text : L"", pt, type, mode);
}

int PaintManager::ShowBalloon(int show, int tag) {
  if (!m_balloon) return 0;
  if (tag) {
    if (show) m_balloonTag = tag;
    else if (tag != m_balloonTag) return 0;
  }
  return m_balloon->ShowWindow(show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

// ---- caret ----

void PaintManager::CreateCaret(int width, int height) {
  m_caretRect = CRect(m_caretRect.left, m_caretRect.top, m_caretRect.left + width, m_caretRect.top + height);
}

void PaintManager::SetCaretPos(MControl* edit, int x, int y) {
  const CRect old = m_caretRect;
  m_caretRect = CRect(x, y, x + old.Width(), y + old.Height());
  m_caretObject = edit;
  InvalidateRect(old, 0);
  InvalidateRect(m_caretRect, 0);
}

void PaintManager::ShowCaret(int show) {
  platform::WindowSystem* ws = WS();
  if (!ws || !m_window) return;
  m_caretShown = show != 0;
  m_caretPhase = m_caretShown;
  if (m_caretShown) ws->SetTimer(m_window, kTimerCaret, kCaretBlinkMs);
  else ws->KillTimer(m_window, kTimerCaret);
  InvalidateRect(m_caretRect, 0);
}

void PaintManager::DrawCaret(Canvas& canvas, const CRect& clip) {
  platform::WindowSystem* ws = WS();
  const bool active = m_caretObject && m_caretObject->IsFocused() && ws && ws->GetFocus() == m_window;
  if (!active) {
    if (m_caretShown && ws && m_window) ws->KillTimer(m_window, kTimerCaret);
    m_caretShown = false;
    return;
  }
  if (!m_caretShown || !m_caretPhase) return;
  const CRect part = CRect::Intersect(m_caretRect, clip);
  ARGB color = 0xFEFFFFFF;
  if (auto* font = dynamic_cast<const MControlFont*>(m_caretObject)) color = (font->GetTextColor() & 0xFFFFFF) | 0xFE000000;
  canvas.FillRect(part, color);
}

// ---- resources ----

const ImgResInfo* PaintManager::AddImgResInfo(const wchar_t* file, int frames) {
  if (!file || !*file) return nullptr;
  frames = std::max(frames, 1);
  const auto key = std::make_pair(std::wstring(file), frames);
  if (auto it = m_fileImages.find(key); it != m_fileImages.end()) return it->second.get();
  std::shared_ptr<Image> image;
  for (const auto& [k, info] : m_fileImages)
    if (k.first == key.first) image = info->image;  // the same file split another way
  if (!image) image = MRender::LoadImageFromFile(Manager::SkinPath(file));
  if (!image) return nullptr;
  auto info = std::make_unique<ImgResInfo>();
  info->image = image;
  info->frames = frames;
  info->frameWidth = image->Width() / frames;
  info->height = image->Height();
  info->file = file;
  return m_fileImages.emplace(key, std::move(info)).first->second.get();
}

const ImgResInfo* PaintManager::AddImgResInfo(UINT resId, const std::wstring& resType, int frames, int) {
  frames = std::max(frames, 1);
  const auto key = std::make_pair(resId, frames);
  if (auto it = m_resImages.find(key); it != m_resImages.end()) return it->second.get();
  std::wstring type = resType;
  for (wchar_t& c : type) c = static_cast<wchar_t>(std::towlower(c));
  std::shared_ptr<Image> image = MRender::LoadImageFromFile(Manager::SkinPath(L"resources/" + std::to_wstring(resId) + L"." + type));
  if (!image) return nullptr;
  auto info = std::make_unique<ImgResInfo>();
  info->image = image;
  info->frames = frames;
  info->frameWidth = image->Width() / frames;
  info->height = image->Height();
  info->resId = resId;
  return m_resImages.emplace(key, std::move(info)).first->second.get();
}

void PaintManager::ClearImgResInfo() {
  m_fileImages.clear();
  m_resImages.clear();
}

bool PaintManager::AddTempFont(const std::wstring& face, const std::wstring& path) {
  if (face.empty()) return false;
  const std::wstring family = AddApplicationFont(path);
  if (family.empty()) return false;
  m_fonts[face] = family;
  return true;
}

std::wstring PaintManager::FindTempFont(const std::wstring& face) const {
  auto it = m_fonts.find(face);
  return it != m_fonts.end() ? it->second : face;
}

void PaintManager::ClearTempFont() { m_fonts.clear(); }

bool PaintManager::InitDragDrop() { return WS() && m_window && WS()->RegisterDropTarget(m_window); }

}  // namespace kl::vela
