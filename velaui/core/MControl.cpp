#include "velaui/core/MControl.h"

#include <algorithm>
#include <cstring>

#include "velaui/core/Notify.h"
#include "velaui/core/PaintManager.h"

namespace kl::vela {

const wchar_t* const CURSOR_ARROW = L"arrow";
const wchar_t* const CURSOR_WAIT = L"wait";
const wchar_t* const CURSOR_CROSS = L"cross";
const wchar_t* const CURSOR_SIZEWE = L"sizewe";
const wchar_t* const CURSOR_SIZENS = L"sizens";
const wchar_t* const CURSOR_HAND = L"hand";
const wchar_t* const CURSOR_HELP = L"help";

int MObject::IsClass(const wchar_t* name) {
  const wchar_t* mine = GetClassNameW();
  return name && mine && std::wcscmp(name, mine) == 0 ? 1 : 0;
}

int PositionItem2Value(const POSITION_ITEM& item, int lo, int hi) {
  const int offset = static_cast<int>(item.value);
  switch (item.type) {
    case 0:
      return item.fromEnd ? hi - offset : lo + offset;
    case 1:
      return lo + (hi - lo) / 2 + (item.fromEnd ? -offset : offset);
    case 2:
      return std::min(hi, lo + static_cast<int>((hi - lo) * item.value / 100));
    default:
      return 0;
  }
}

MControl::MControl(MObject* parent, UINT id, CRect rect, int visible, int enabled, int response)
    : m_parent(parent), m_id(id), m_rect(rect), m_visible(visible), m_enabled(enabled), m_response(response) {}

MControl::~MControl() {
  // Take the lists first: a child's destructor tells its parent to forget it.
  std::vector<MControl*> areas;
  std::vector<MControl*> controls;
  areas.swap(m_areas);
  controls.swap(m_controls);
  m_hoverChild = nullptr;
  for (MControl* c : areas) delete c;
  for (MControl* c : controls) delete c;
  if (auto* parent = dynamic_cast<MControl*>(m_parent)) parent->ForgetChild(this);
  if (m_manager) m_manager->ForgetControl(this);
}

int MControl::PtInRect(CPoint pt) { return m_visible && m_rect.PtInRect(pt) ? 1 : 0; }

int MControl::DrawSubControls(Canvas& canvas, CRect clip) {
  for (size_t i = 0; i < m_controls.size(); ++i)
    if (m_controls[i]->m_visible) m_controls[i]->Draw(canvas, clip);
  return 1;
}

void MControl::SetUpdate(int valid, COLORREF color) {
  m_cacheValid = valid;
  for (MControl* c : m_controls)
    if (!CRect::Intersect(c->m_rect, m_rect).IsRectEmpty()) c->SetUpdate(valid, color);
}

int MControl::SetControlFocus(int focus) {
  if (!focus)
    for (MControl* c : m_controls) c->SetControlFocus(0);
  return 0;
}

int MControl::OnControlSetCursor(UINT, CPoint pt) {
  if (!m_hasCursor || !m_rect.PtInRect(pt) || !m_manager) return 0;
  if (platform::WindowSystem* ws = platform::GetWindowSystem()) ws->SetCursor(m_manager->GetPaintWnd(), m_cursor);
  return 1;
}

int MControl::OnControlKeyDown(UINT vk, UINT, UINT modifier) {
  return m_hotkeyVk != 0 && vk == m_hotkeyVk && modifier == m_hotkeyModifier ? 1 : 0;
}

void MControl::InvalidateRect(const CRect* rect, int erase) {
  if (!m_manager || !m_manager->GetPaintWnd()) return;
  m_manager->InvalidateRect(m_manager->IsLayered() ? m_manager->GetClientRect() : (rect ? *rect : m_rect), erase);
}

// ---- drawing ----

void MControl::Draw(Canvas& canvas, CRect clip) {
  if (!m_visible || CRect::Intersect(m_rect, clip).IsRectEmpty()) return;
  for (size_t i = 0; i < m_areas.size(); ++i) {
    MControl* a = m_areas[i];
    if (!CRect::Intersect(a->m_rect, m_rect).IsRectEmpty()) a->Draw(canvas, clip);
  }
  DrawControl(canvas, clip);
  DrawSubControls(canvas, clip);
}

Canvas& MControl::UpdateMemDC(int cx, int cy) {
  m_cacheValid = 1;
  if (!m_cache || m_cache->Width() != std::max(cx, 1) || m_cache->Height() != std::max(cy, 1))
    m_cache = std::make_unique<Canvas>(cx, cy);
  return *m_cache;
}

Canvas& MControl::UpdateAnimateDC(int cx, int cy) {
  m_animation = std::make_unique<Canvas>(cx, cy);
  m_animation_flag = 1;
  return *m_animation;
}

// ---- mouse routing ----

namespace {
// Scroll bars (IDs 1 and 2) of a scrolled container see unscrolled coordinates.
CPoint PointFor(const MControl* child, CPoint raw, CPoint translated) {
  return child->GetControlID() == 1 || child->GetControlID() == 2 ? raw : translated;
}
}  // namespace

int MControl::OnMouseMove(UINT flags, CPoint pt) {
  if (!m_visible || !m_response) return 0;
  const CPoint raw = pt;
  OnMousePointChange(pt);
  if (MControl* hover = m_hoverChild) {
    const CPoint cp = PointFor(hover, raw, pt);
    if ((hover->PtInRect(cp) && hover->OnCheckMouseResponse(flags, cp)) || m_pressedInside)
      return hover->OnMouseMove(flags, cp) ? 1 : 0;
  }
  m_hoverChild = nullptr;
  const bool inside = m_rect.PtInRect(pt) && OnCheckMouseResponse(flags, pt);
  if (!m_tooltip.empty() && inside && m_manager && m_manager->GetTooltipCtrlID() != m_id) SetTooltip(m_tooltip, m_rect);
  OnControlSetCursor(flags, pt);
  int r = OnControlMouseMove(flags, pt);
  m_outside = inside ? 0 : 1;
  if (m_pressedInside) return r;
  for (size_t i = 0; i < m_controls.size(); ++i) {
    MControl* c = m_controls[i];
    const CPoint cp = PointFor(c, raw, pt);
    if (c->OnMouseMove(flags, cp) && i < m_controls.size() && m_controls[i] == c && c->PtInRect(cp)) {
      m_hoverChild = c;
      r = 1;
    }
  }
  return m_hoverChild ? 1 : r;
}

void MControl::PickPressedChild(CPoint raw, CPoint pt) {
  m_pressedInside = m_rect.PtInRect(pt) ? 1 : 0;
  // The press picks its child by its own point, not by where the last move was.
  m_hoverChild = nullptr;
  for (MControl* c : m_controls) {
    const CPoint cp = PointFor(c, raw, pt);
    if (c->PtInRect(cp) && c->m_visible && c->m_enabled && c->m_response) m_hoverChild = c;
  }
}

int MControl::OnLButtonDown(UINT flags, CPoint pt) {
  if (!m_visible || !m_response) return 0;
  const CPoint raw = pt;
  OnMousePointChange(pt);
  PickPressedChild(raw, pt);
  if (MControl* hover = m_hoverChild) return hover->OnLButtonDown(flags, PointFor(hover, raw, pt));
  if (m_manager) m_manager->SetFocusControl(this);
  return OnControlLButtonDown(flags, pt);
}

int MControl::OnRButtonDown(UINT flags, CPoint pt) {
  if (!m_visible || !m_response) return 0;
  const CPoint raw = pt;
  OnMousePointChange(pt);
  PickPressedChild(raw, pt);
  if (MControl* hover = m_hoverChild) return hover->OnRButtonDown(flags, PointFor(hover, raw, pt));
  if (m_manager) m_manager->SetFocusControl(this);
  return OnControlRButtonDown(flags, pt);
}

int MControl::OnLButtonUp(UINT flags, CPoint pt) {
  const CPoint raw = pt;
  OnMousePointChange(pt);
  m_pressedInside = 0;
  if (MControl* hover = m_hoverChild) return hover->OnLButtonUp(flags, PointFor(hover, raw, pt));
  return OnControlLButtonUp(flags, pt);
}

int MControl::OnRButtonUp(UINT flags, CPoint pt) {
  const CPoint raw = pt;
  OnMousePointChange(pt);
  m_pressedInside = 0;
  if (MControl* hover = m_hoverChild) return hover->OnRButtonUp(flags, PointFor(hover, raw, pt));
  return OnControlRButtonUp(flags, pt);
}

int MControl::OnLButtonDblClk(UINT flags, CPoint pt) {
  const CPoint raw = pt;
  OnMousePointChange(pt);
  m_pressedInside = 0;
  if (MControl* hover = m_hoverChild) {
    const CPoint cp = PointFor(hover, raw, pt);
    const int r = hover->OnLButtonDblClk(flags, cp);
    // Re-read: the handler may have removed the child.
    if (!r && m_hoverChild == hover && !hover->m_dblClk) return hover->OnLButtonDown(flags, cp);
    return r;
  }
  if (!m_dblClk) return OnControlLButtonDown(flags, pt);
  if (m_dblClickNotify && m_rect.PtInRect(pt)) SendMessageW(NotifyDblClick, flags, reinterpret_cast<LPARAM>(&pt));
  return OnControlLButtonDblClk(flags, pt);
}

int MControl::OnRButtonDblClk(UINT flags, CPoint pt) {
  const CPoint raw = pt;
  OnMousePointChange(pt);
  m_pressedInside = 0;
  if (MControl* hover = m_hoverChild) {
    const CPoint cp = PointFor(hover, raw, pt);
    const int r = hover->OnRButtonDblClk(flags, cp);
    if (!r && m_hoverChild == hover && !hover->m_dblClk) return hover->OnRButtonDown(flags, cp);
    return r;
  }
  return m_dblClk ? OnControlRButtonDblClk(flags, pt) : OnControlRButtonDown(flags, pt);
}

int MControl::OnScroll(int bar, UINT down, CPoint pt) {
  if (!m_visible || !m_response || !m_enabled) return 0;
  const CPoint raw = pt;
  OnMousePointChange(pt);
  if (MControl* hover = m_hoverChild) {
    const CPoint cp = PointFor(hover, raw, pt);
    if (hover->PtInRect(cp) && hover->OnCheckMouseResponse(0, cp) && hover->OnScroll(bar, down, cp)) return 1;
  }
  if (!m_rect.PtInRect(pt)) return 0;
  if (OnControlScroll(bar, down, pt)) return 1;
  for (size_t i = 0; i < m_controls.size(); ++i) {
    MControl* c = m_controls[i];
    const CPoint cp = PointFor(c, raw, pt);
    if (c->PtInRect(cp) && c->OnScroll(bar, down, cp)) return 1;
  }
  return 0;
}

int MControl::OnKeyDown(UINT vk, UINT repeat, UINT modifier) {
  if (!m_visible || !m_response) return 0;
  for (MControl* c : m_controls)
    if (c->m_focused) return c->OnKeyDown(vk, repeat, modifier);
  int handled = 0;
  if (MControl* hover = m_hoverChild) handled = hover->OnKeyDown(vk, repeat, modifier);
  if (!handled) handled = OnControlKeyDown(vk, repeat, modifier);
  for (size_t i = 0; !handled && i < m_controls.size(); ++i) handled = m_controls[i]->OnKeyDown(vk, repeat, modifier);
  if (m_keyNotify) SendMessageW(NotifyKeyDown, vk, modifier);
  return handled ? 1 : 0;
}

int MControl::OnTimer() {
  const int own = OnControlTimer();
  int children = 0;
  for (size_t i = 0; i < m_controls.size(); ++i) {
    MControl* c = m_controls[i];
    if (c->m_runTimer && c->m_visible && c->OnTimer()) children = 1;
  }
  return children ? 1 : own;
}

// ---- children ----

MControl* MControl::GetControl(UINT id) {
  for (auto* list : {&m_controls, &m_areas})
    for (MControl* c : *list) {
      if (c->m_id == id) return c;
      if (MControl* found = c->GetControl(id)) return found;
    }
  return nullptr;
}

void MControl::AddChild(MControl* child, int kind) {
  if (!child) return;
  (kind == 0 ? m_areas : m_controls).push_back(child);
}

void MControl::ForgetChild(MControl* child) {
  if (m_hoverChild == child) m_hoverChild = nullptr;
  std::erase(m_controls, child);
  std::erase(m_areas, child);
}

bool MControl::RemoveControl(MControl* child) {
  if (!child || (std::find(m_controls.begin(), m_controls.end(), child) == m_controls.end() &&
                 std::find(m_areas.begin(), m_areas.end(), child) == m_areas.end()))
    return false;
  ForgetChild(child);
  delete child;  // its destructor clears the manager's references (focus, hover, timers, caret)
  return true;
}

void MControl::RemoveAllControl() {
  std::vector<MControl*> areas;
  std::vector<MControl*> controls;
  areas.swap(m_areas);
  controls.swap(m_controls);
  m_hoverChild = nullptr;
  for (MControl* c : areas) delete c;
  for (MControl* c : controls) delete c;
}

// ---- repaint requests ----

void MControl::SetRect(CRect rect) {
  const CRect both = CRect::Union(m_rect, rect);
  SetControlRect(rect);
  if (m_visible && m_parent) m_parent->OnControlUpdate(both, 1, this);
}

void MControl::SetVisible(int visible, int repaint) {
  if ((visible != 0) == (m_visible != 0)) return;
  SetControlVisible(visible);
  if (repaint && m_parent) m_parent->OnControlUpdate(m_rect, 1, this);
}

void MControl::SetEnabled(int enabled) {
  if ((enabled != 0) == (m_enabled != 0)) return;
  SetControlEnabled(enabled);
  if (m_visible) UpdateControl(1, 0);
}

void MControl::UpdateControl(int erase, int force) {
  if ((m_visible || force) && m_parent) m_parent->OnControlUpdate(m_rect, erase, this);
}

void MControl::UpdateControl(CRect rect, int force, int erase) {
  if ((m_visible || force) && m_parent) m_parent->OnControlUpdate(rect, erase, this);
}

void MControl::UpdateAControl(int keepAnimation, int force) {
  m_animation_flag = keepAnimation ? 0 : 1;
  if ((m_visible || force) && m_parent) m_parent->OnControlUpdate(m_rect, 0, this);
}

int MControl::IsParentVisible() {
  if (!m_parent) return 0;
  if (m_parent->IsClass(L"MDialog")) return 1;
  auto* parent = dynamic_cast<MControl*>(m_parent);
  if (!parent) return 1;  // a popup window or other non-control container
  return parent->m_visible && parent->IsParentVisible() ? 1 : 0;
}

// ---- other ----

void MControl::SetTooltip(const std::wstring& text, CRect rect) {
  if (!m_manager) return;
  m_manager->SetTooltip(text.c_str(), rect);
  m_manager->SetTooltipCtrlID(m_id);
}

void MControl::ClearTooltip() {
  if (!m_manager) return;
  m_manager->ClearTooltip();
}

int MControl::SetCursorEx(const wchar_t* name) {
  static const std::pair<const wchar_t*, platform::Cursor> kCursors[] = {
      {CURSOR_ARROW, platform::Cursor::Arrow},   {CURSOR_WAIT, platform::Cursor::Wait},
      {CURSOR_CROSS, platform::Cursor::Cross},   {CURSOR_SIZEWE, platform::Cursor::SizeWE},
      {CURSOR_SIZENS, platform::Cursor::SizeNS}, {CURSOR_HAND, platform::Cursor::Hand},
      {CURSOR_HELP, platform::Cursor::Help},
  };
  for (const auto& [constant, cursor] : kCursors)
    if (name == constant) {
      m_cursor = cursor;
      m_hasCursor = true;
    }
  return 0;
}

int MControl::AddMTimer() { return m_manager ? m_manager->AddMTimer(this) : 0; }

LRESULT MControl::SendMessageW(UINT code, UINT wParam, LPARAM lParam) {
  return m_parent ? m_parent->OnBaseMessage(m_id, code, wParam, lParam) : 0;
}

int MControl::IsFocusControl() const { return m_manager && m_manager->GetFocusControl() == this ? 1 : 0; }

}  // namespace kl::vela
