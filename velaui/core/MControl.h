// MControl: the base of every self-drawn control.
//
// A control lives in one list of one container (the area list, drawn beneath the container, or
// the sub-control list, drawn above it), has its rect in window client coordinates, and is
// drawn and fed with input by the PaintManager of its window. Derived classes customise only
// the virtual OnControl* hooks; the non-virtual routing functions (OnMouseMove, OnLButtonDown,
// ..., Draw) decide which control gets what:
//
//   mouse move : hover child keeps the move while it contains the point (or while this control
//                was pressed); otherwise this control's hooks run and the last sub-control
//                that takes the move and contains the point becomes the hover child.
//   press      : the last visible, enabled, responding sub-control under the point becomes the
//                hover child and gets the press; else this control takes the focus and handles it.
//   release    : to the hover child, else OnControl*ButtonUp.
//   double click: with the double-click flag 0 a double click is handled as a second press.
//   wheel      : hover child first, then this control, then the first sub-control under the point.
//   key        : descends to the focused sub-control; there: hover child, this control, then each
//                sub-control in order.
//
// All of it runs on the UI thread, as do the timer ticks, so no list needs a lock; routing
// re-reads the hover child after every call out, because a handler may remove controls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/Color.h"
#include "base/Geometry.h"
#include "platform/WindowSystem.h"
#include "velaui/core/Canvas.h"
#include "velaui/core/MObject.h"

namespace kl::vela {

class PaintManager;

// Cursor names for SetCursorEx; compared by identity, so pass these constants.
extern const wchar_t* const CURSOR_ARROW;
extern const wchar_t* const CURSOR_WAIT;
extern const wchar_t* const CURSOR_CROSS;
extern const wchar_t* const CURSOR_SIZEWE;
extern const wchar_t* const CURSOR_SIZENS;
extern const wchar_t* const CURSOR_HAND;
extern const wchar_t* const CURSOR_HELP;

// Modifier codes of key routing: Alt 18, else Shift 16, else 0; Ctrl ORs in 17.
constexpr UINT ModifierCode(bool alt, bool shift, bool ctrl) { return (alt ? 18u : shift ? 16u : 0u) | (ctrl ? 17u : 0u); }

// A layout position: absolute from the low or high end, centred with an offset, or a percentage.
struct POSITION_ITEM {
  int type = 0;  // 0 absolute, 1 centred, 2 percent
  int fromEnd = 0;
  float value = 0;
};
int PositionItem2Value(const POSITION_ITEM& item, int lo, int hi);

class MControl : public MObject {
 public:
  MControl(MObject* parent, UINT id, CRect rect, int visible, int enabled, int response);
  ~MControl() override;
  MControl(const MControl&) = delete;
  MControl& operator=(const MControl&) = delete;

  const wchar_t* GetClassNameW() const override { return L"MControl"; }

  // ---- hooks ----
  virtual void InitControl(PaintManager* manager) {}
  virtual int PtInRect(CPoint pt);
  virtual void DrawControl(Canvas& canvas, CRect clip) = 0;
  virtual int DrawSubControls(Canvas& canvas, CRect clip);
  virtual void SetUpdate(int valid, COLORREF color = 0);
  virtual int SetControlFocus(int focus);
  virtual void InitUI(CRect rect) {}
  virtual int OnMousePointChange(CPoint& pt) { return 0; }
  virtual int OnCheckMouseResponse(UINT flags, CPoint pt) { return 1; }
  virtual LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return 0; }
  virtual LRESULT OnMessage(UINT childId, UINT code, UINT wParam, LPARAM lParam) { return 0; }
  virtual void SetControlRect(CRect rect) { m_rect = rect; }
  virtual void SetControlVisible(int visible) { m_visible = visible; }
  virtual void SetControlWndVisible(int visible) {}
  virtual void SetControlEnabled(int enabled) { m_enabled = enabled; }
  virtual int OnControlTimer() { return 0; }
  virtual int OnControlMouseMove(UINT flags, CPoint pt) { return 0; }
  virtual int OnControlSetCursor(UINT flags, CPoint pt);
  virtual int OnControlLButtonDown(UINT flags, CPoint pt) { return 0; }
  virtual int OnControlLButtonUp(UINT flags, CPoint pt) { return 0; }
  virtual int OnControlLButtonDblClk(UINT flags, CPoint pt) { return 0; }
  virtual int OnControlScroll(int bar, UINT down, CPoint pt) { return 0; }
  virtual int OnControlRButtonDown(UINT flags, CPoint pt) { return 0; }
  virtual int OnControlRButtonUp(UINT flags, CPoint pt) { return 0; }
  virtual int OnControlRButtonDblClk(UINT flags, CPoint pt) { return 0; }
  virtual int OnControlKeyDown(UINT vk, UINT repeat, UINT modifier);
  virtual void OnPositionChange() {}
  virtual void InvalidateRect(const CRect* rect, int erase);

  // ---- routing (non-virtual) ----
  void Draw(Canvas& canvas, CRect clip);
  int OnMouseMove(UINT flags, CPoint pt);
  int OnLButtonDown(UINT flags, CPoint pt);
  int OnLButtonUp(UINT flags, CPoint pt);
  int OnLButtonDblClk(UINT flags, CPoint pt);
  int OnRButtonDown(UINT flags, CPoint pt);
  int OnRButtonUp(UINT flags, CPoint pt);
  int OnRButtonDblClk(UINT flags, CPoint pt);
  int OnScroll(int bar, UINT down, CPoint pt);
  int OnKeyDown(UINT vk, UINT repeat, UINT modifier);
  int OnKeyUp(UINT vk, UINT repeat, UINT modifier) { return 0; }
  int OnTimer();

  // ---- children ----
  std::vector<MControl*>& GetControls() { return m_controls; }
  std::vector<MControl*>& GetAreas() { return m_areas; }
  MControl* GetControl(UINT id);
  // Removes a sub-control or area child and deletes it. False when it is not a child.
  bool RemoveControl(MControl* child);
  void RemoveAllControl();
  // Adds a child the caller created (kind 0 area list, 1 sub-control list); takes ownership.
  void AddChild(MControl* child, int kind);
  // Forgets a child that is being deleted elsewhere (hover child, list entries).
  void ForgetChild(MControl* child);

  // ---- repaint requests ----
  void SetRect(CRect rect);
  void SetRect(int x, int y, int width, int height) { SetRect(CRect(x, y, x + width, y + height)); }
  void SetVisible(int visible) { SetVisible(visible, 1); }
  void SetVisible(int visible, int repaint);
  void SetEnabled(int enabled);
  void UpdateControl(int erase = 1, int force = 0);
  void UpdateControl(CRect rect, int force, int erase);
  void UpdateAControl(int keepAnimation, int force = 0);
  int IsParentVisible();

  // ---- caches ----
  // Makes the cache canvas cx x cy (keeping it when the size is unchanged) and marks it valid.
  Canvas& UpdateMemDC(int cx, int cy);
  Canvas* GetMemDC() { return m_cache.get(); }
  Canvas& UpdateAnimateDC(int cx, int cy);
  Canvas* GetAnimateDC() { return m_animation.get(); }

  // ---- accessors ----
  MObject* GetParentObject() const { return m_parent; }
  void SetParent(MObject* parent) { m_parent = parent; }
  PaintManager* GetManager() const { return m_manager; }
  void SetManager(PaintManager* manager) { m_manager = manager; }
  UINT GetControlID() const { return m_id; }
  const CRect& GetRect() const { return m_rect; }
  int IsVisible() const { return m_visible; }
  int IsEnabled() const { return m_enabled; }
  int IsDragDrop() const { return m_dragDrop; }
  void SetDragDrop(int v) { m_dragDrop = v; }
  int GetResponse() const { return m_response; }
  void SetResponse(int v) { m_response = v; }
  int IsTabStop() const { return m_tabStop; }
  void SetTabStop(int v) { m_tabStop = v; }
  int GetDblClk() const { return m_dblClk; }
  void SetDblClk(int v) { m_dblClk = v; }
  int IsFocused() const { return m_focused; }
  int GetUpdate() const { return m_cacheValid; }
  int IsRunTimer() const { return m_runTimer; }
  void SetRunTimer(int v) { m_runTimer = v; }
  int GetAnimation() const { return m_animation_flag; }
  void SetHotKey(UINT vk, UINT modifier) { m_hotkeyVk = vk; m_hotkeyModifier = modifier; }
  void SetDblClickNotify(int v) { m_dblClickNotify = v; }
  void SetKeyNotify(int v) { m_keyNotify = v; }
  MControl* GetHoverChild() const { return m_hoverChild; }
  int IsPressedInside() const { return m_pressedInside; }
  const std::wstring& GetTooltip() const { return m_tooltip; }
  void SetTooltip(const wchar_t* text) { m_tooltip = text ? text : L""; }
  void SetTooltip(const std::wstring& text, CRect rect);
  void ClearTooltip();
  int SetCursorEx(const wchar_t* name);
  bool HasCursor() const { return m_hasCursor; }
  platform::Cursor GetCursor() const { return m_cursor; }
  int AddMTimer();
  LRESULT SendMessageW(UINT code, UINT wParam, LPARAM lParam);
  int IsFocusControl() const;
  int OnFocus(int focus) { return SetControlFocus(focus); }
  // True while the pointer is inside (leave tracking).
  int IsMouseInside() const { return !m_outside; }

 protected:
  // A press: notes whether it is inside and picks the child under the raw and translated point.
  void PickPressedChild(CPoint raw, CPoint pt);
  void SetFocusedFlag(int focused) { m_focused = focused; }
  int IsKeyDown() const { return m_keyDown; }
  // Marks this control's cache stale without asking for a repaint.
  void InvalidateCache() { m_cacheValid = 0; }
  friend class PaintManager;

  MObject* m_parent;
  PaintManager* m_manager = nullptr;
  UINT m_id;
  CRect m_rect;
  int m_visible;
  int m_enabled;
  int m_dragDrop = 0;
  int m_response;
  int m_tabStop = 0;
  int m_dblClk = 0;
  int m_pressedInside = 0;
  int m_keyDown = 0;
  int m_focused = 0;
  UINT m_hotkeyVk = 0;
  UINT m_hotkeyModifier = 0;
  int m_cacheValid = 0;
  int m_animation_flag = 0;
  int m_runTimer = 0;
  std::vector<MControl*> m_areas;
  std::vector<MControl*> m_controls;
  MControl* m_hoverChild = nullptr;
  std::unique_ptr<Canvas> m_cache;
  std::unique_ptr<Canvas> m_animation;
  std::wstring m_tooltip;
  bool m_hasCursor = false;
  platform::Cursor m_cursor = platform::Cursor::Arrow;
  int m_outside = 1;
  int m_dblClickNotify = 0;
  int m_keyNotify = 0;
};

}  // namespace kl::vela
