// PaintManager: one per VelaUI window. It keeps the window's top-level controls, paints them
// into an off-screen ARGB buffer and puts the dirty part on the screen, routes mouse and key
// input, runs control timers and the shared tick, shows tooltips, balloons and the overlay
// message with its progress bar, draws the caret of self-drawn edits and caches images and fonts.
//
// Everything here runs on the UI thread (the window system delivers messages, timers and ticks
// there), so a tick never runs while a window paints.
//
// Window timer IDs in use on the managed window:
//   66   overlay message shown; after 3 s it starts the fade
//   88   overlay fade-out, 50 ms steps
//   99   progress animation, 10 ms steps
//   6553 caret blink
//   1..239 (except the three above): control timers, handed out in turn, skipping IDs in use.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/Color.h"
#include "base/Geometry.h"
#include "platform/WindowSystem.h"
#include "velaui/core/Canvas.h"
#include "velaui/core/Image.h"
#include "velaui/core/MMediaTimer.h"

namespace kl::vela {

class MControl;
class MObject;
class MWindow;
class MBalloon;
class TooltipWnd;

struct ImgResInfo {
  std::shared_ptr<Image> image;
  int frameWidth = 0;
  int height = 0;
  int frames = 1;
  std::wstring file;
  UINT resId = 0;
};

enum enumBackMode { BACK_MODE_NORMAL = 0, BACK_MODE_FRAME = 1 };
enum MsgLevel { MSG_INFO = 0, MSG_WARNING = 1, MSG_ERROR = 2 };

class PaintManager : public MMediaTimer {
 public:
  static constexpr UINT kTimerOverlayShow = 66;
  static constexpr UINT kTimerOverlayFade = 88;
  static constexpr UINT kTimerProgress = 99;
  static constexpr UINT kTimerCaret = 6553;
  static constexpr UINT kCaretBlinkMs = 530;

  PaintManager();
  ~PaintManager() override;

  // ---- set-up ----
  void Init(platform::WindowId window, MWindow* owner);
  void DestroyData();
  bool IsInitialized() const { return m_initialized; }
  platform::WindowId GetPaintWnd() const { return m_window; }
  MWindow* GetMDialog() const { return m_owner; }

  // ---- controls ----
  // kind 0: area list, 1: control list, other: in no list (the caller owns it).
  MControl* CreateControl(UINT kind, MObject* parent, const wchar_t* className, UINT id, CRect rect, const wchar_t* title,
                          int a, int b);
  MControl* CreateArea(MObject* parent, const wchar_t* className, UINT id, CRect rect, const wchar_t* title, int a, int b) {
    return CreateControl(0, parent, className, id, rect, title, a, b);
  }
  MControl* CreateControl(MObject* parent, const wchar_t* className, UINT id, CRect rect, const wchar_t* title, int a, int b) {
    return CreateControl(1, parent, className, id, rect, title, a, b);
  }
  // Adds a control made elsewhere (kind 0 area, 1 control list); sets its manager, calls
  // InitControl and takes ownership.
  void AddControl(MControl* control, int kind);
  MControl* GetControl(UINT id);
  std::vector<MControl*>& GetControls() { return m_controls; }
  std::vector<MControl*>& GetAreas() { return m_areas; }
  bool RemoveControl(MControl* control);
  void ClearControls();
  void ClearAreaControls();
  void ClearAllControls();
  // Called by a control's destructor: drops every reference to it (hover, focus, timers, tick
  // list, caret, tooltip owner, list entries).
  void ForgetControl(MControl* control);

  // ---- painting ----
  void Invalidate();
  void InvalidateRect(const CRect& rect, int erase);
  LRESULT OnControlUpdate(CRect dirty, int erase, MControl* control);
  bool LoadBKImage(const std::wstring& file);
  void SetBackMode(enumBackMode mode, int frameWidth);
  void SetBackColor(COLORREF fill, COLORREF border);
  void SetLayeredWindow(int layered) { m_layered = layered; }
  int IsLayered() const { return m_layered; }
  void SetMessage(const std::wstring& text, CRect rect, MsgLevel level);
  void SetProgress(int percent, const std::wstring& text, CRect rect);
  int GetOverlayAlpha() const { return m_msgAlpha; }
  int GetShownProgress() const { return m_progressShown; }
  void DrawControl(Canvas& canvas, CRect clip);
  // Renders the whole client area into a new canvas as a paint would (screenshots, tests).
  std::unique_ptr<Canvas> RenderToCanvas();

  // ---- window ----
  CRect GetClientRect() const;
  CRect GetWindowRect() const;
  void GetClientSize(int& cx, int& cy) const;
  void SetCapture();
  void ReleaseCapture();
  int IsCaptured() const { return m_captured; }
  void EnableWndDrag(int enable) { m_wndDrag = enable; }

  // ---- input ----
  LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // Tab and Shift+Tab move the focus; 1 when the focus changed (the key is then consumed).
  int PreTranslateMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  int OnMouseMove(UINT flags, CPoint pt);
  int OnMouseLeave();
  int OnMouseWheel(UINT keys, int delta, CPoint screen);
  int OnLButtonDown(UINT flags, CPoint pt);
  int OnLButtonUp(UINT flags, CPoint pt);
  int OnLButtonDblClk(UINT flags, CPoint pt);
  int OnRButtonDown(UINT flags, CPoint pt);
  int OnRButtonUp(UINT flags, CPoint pt);
  int OnRButtonDblClk(UINT flags, CPoint pt);
  int OnKeyDown(UINT vk, LPARAM lParam);
  int OnNcActivate(int active);
  int OnPaint();
  void OnTimer(UINT windowTimerId);
  UINT CurrentModifier() const;
  MControl* GetHoverControl() const { return m_hover; }
  MControl* GetFocusControl() const { return m_focus; }
  void SetFocusControl(MControl* control);
  MControl* GetNextFocusableControl();
  MControl* GetPrevFocusableControl();

  // ---- timers ----
  int SetTimer(MControl* control, UINT id, UINT ms);
  int KillTimer(MControl* control, UINT id);
  void KillTimer(MControl* control);
  void ClearTimers();
  // The window timer ID a control timer runs under (0 when none); for diagnostics and tests.
  UINT GetWindowTimerId(MControl* control, UINT id) const;
  UINT SetMTimer(UINT ms);
  void KillMTimer(UINT id) { MMediaTimer::KillTimer(id); }
  void KillMTimer() { MMediaTimer::KillTimer(); }
  int AddMTimer(MControl* control);
  int DeleteMTimer(MControl* control);
  void OnMTimer(UINT id) override;

  // ---- tips ----
  void SetTooltip(const wchar_t* text, CRect rect);
  void ClearTooltip();
  UINT GetTooltipCtrlID() const { return m_tooltipOwner; }
  void SetTooltipCtrlID(UINT id) { m_tooltipOwner = id; }
  TooltipWnd* GetTooltipWindow() const { return m_tooltip.get(); }
  int SetBalloonMsg(const wchar_t* text, CPoint pt, int type, int mode);
  int ShowBalloon(int show, int tag);
  MBalloon* GetBalloon() const { return m_balloon.get(); }

  // ---- caret ----
  void CreateCaret(int width, int height);
  void SetCaretPos(MControl* edit, int x, int y);
  void ShowCaret(int show);
  void DrawCaret(Canvas& canvas, const CRect& clip);
  MControl* GetCurrentCaretObject() const { return m_caretObject; }
  CRect GetCaretRect() const { return m_caretRect; }
  bool IsCaretPhaseVisible() const { return m_caretPhase; }

  // ---- resources ----
  // The cached image of a skin file split into `frames` (below 1 counts as 1); null on failure.
  const ImgResInfo* AddImgResInfo(const wchar_t* file, int frames);
  // Library and program resources are files under <skins>/resources named "<id>.<type>".
  const ImgResInfo* AddImgResInfo(UINT resId, const std::wstring& resType, int frames, int fromApplication);
  void ClearImgResInfo();
  // Adds a font file and lets `face` name the family inside it. False when the file is unusable.
  bool AddTempFont(const std::wstring& face, const std::wstring& path);
  // The family to draw `face` with: the family added under that face, else `face` itself.
  std::wstring FindTempFont(const std::wstring& face) const;
  void ClearTempFont();
  bool InitDragDrop();

  COLORREF GetDefaultEnabledColor() const { return m_disabledText; }
  void SetDefaultEnabledColor(COLORREF c) { m_disabledText = c; }
  int GetPaintCount() const { return m_paintCount; }

 private:
  struct TimerEntry {
    UINT controlTimerId;
    UINT windowTimerId;
    bool killed;
    MControl* control;
  };
  platform::WindowSystem* WS() const;
  void PaintInto(Canvas& canvas, const CRect& clip);
  void DrawBackground(Canvas& canvas);
  void DrawOverlay(Canvas& canvas);
  UINT NextWindowTimerId();
  void DeleteOwnedLists();

  MWindow* m_owner = nullptr;
  bool m_initialized = false;
  platform::WindowId m_window = 0;
  COLORREF m_fill = 0x130D09;
  COLORREF m_border = 0xFDA810;
  int m_layered = 0;
  std::shared_ptr<Image> m_bkImage;
  enumBackMode m_backMode = BACK_MODE_NORMAL;
  int m_backFrame = 0;
  std::unique_ptr<Canvas> m_buffer;
  // overlay message
  std::wstring m_msgText;
  MsgLevel m_msgLevel = MSG_INFO;
  int m_msgAlpha = 0;
  int m_progressShown = 0;
  int m_progressTarget = 0;
  CRect m_msgRect;
  std::wstring m_msgFace;
  // shared tick and timers
  UINT m_tick = 0;
  UINT m_timerCounter = 4096;
  std::vector<TimerEntry> m_timers;
  std::vector<MControl*> m_tickList;
  // mouse
  bool m_tracking = false;
  bool m_pressedInControl = false;
  bool m_rightPressed = false;
  bool m_captured = false;
  int m_wndDrag = 1;
  COLORREF m_disabledText = 0x808080;
  MControl* m_hover = nullptr;
  MControl* m_focus = nullptr;
  UINT m_tooltipOwner = 0;
  std::unique_ptr<TooltipWnd> m_tooltip;
  std::unique_ptr<MBalloon> m_balloon;
  int m_balloonTag = 0;
  std::vector<MControl*> m_areas;
  std::vector<MControl*> m_controls;
  // caret
  CRect m_caretRect;
  bool m_caretPhase = false;
  bool m_caretShown = false;
  MControl* m_caretObject = nullptr;
  // caches
  std::map<std::pair<std::wstring, int>, std::unique_ptr<ImgResInfo>> m_fileImages;
  std::map<std::pair<UINT, int>, std::unique_ptr<ImgResInfo>> m_resImages;
  std::map<std::wstring, std::wstring> m_fonts;
  int m_paintCount = 0;
};

}  // namespace kl::vela
