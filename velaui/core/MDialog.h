// MDialog: the frameless, self-drawn dialog window every window of the program derives from.
//
// Controls report to the dialog through OnBaseMessage, which hands the notification to the
// virtual OnMessage the program overrides. Closing with a result:
//   DoOK / DoCancel / DoClose / DoYes / DoNo post WM_USERCLOSE with 1 / 2 / 2 / 6 / 7;
//   WM_USERCLOSE -> OnUserCloseWindow posts WM_CLOSE with the same wParam;
//   WM_CLOSE ends ShowModal with that wParam and destroys the window.
// A close asked for before the window exists is kept and carried out once it exists.
//
// A dialog may have a drop shadow (MShadow): CreateShadow makes it once the window exists, the
// shadow setters below change it, and the dialog keeps it beneath itself through every
// WM_WINDOWPOSCHANGED until the window goes.
#pragma once

#include <memory>
#include <string>

#include "velaui/core/MObject.h"
#include "velaui/core/MShadow.h"
#include "velaui/core/MWindow.h"
#include "velaui/core/PaintManager.h"

namespace kl::vela {

class MDialog : public MWindow, public MObject {
 public:
  MDialog();
  ~MDialog() override;

  const wchar_t* GetClassNameW() const override { return L"MDialog"; }
  LRESULT OnBaseMessage(UINT childId, UINT code, UINT wParam, LPARAM lParam) override {
    return OnMessage(childId, code, wParam, lParam);
  }
  LRESULT OnControlUpdate(CRect dirty, int erase, MControl* from) override { return m_pm.OnControlUpdate(dirty, erase, from); }

  LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  int PreTranslateMessage(UINT msg, WPARAM wParam, LPARAM lParam) override { return m_pm.PreTranslateMessage(msg, wParam, lParam); }
  int OnInitDialog() override;
  void OnDestroyMessage(platform::WindowId window) override;

  // The control's bottom-left (0), bottom-centre (1) or bottom-right (2) corner on the screen.
  virtual CPoint GetBalloonPoint(MControl* control, UINT placement);
  virtual void OnMinimize() { ShowWindow(SW_MINIMIZE); }
  virtual void InitUI(CRect client) {}
  virtual void UISize(CRect client) {}
  virtual LRESULT OnMessage(UINT controlId, UINT code, UINT wParam, LPARAM lParam) { return 0; }
  virtual LRESULT OnUserCloseWindow(WPARAM wParam, LPARAM lParam);
  virtual int OnCreate() { return 1; }
  virtual int OnSize(UINT type, int cx, int cy);
  virtual int OnMouseMove(UINT flags, CPoint pt) { return 0; }
  virtual int OnMouseLeave() { return 0; }
  virtual int OnMouseHover(UINT flags, CPoint pt) { return 0; }
  virtual int OnLButtonDown(UINT flags, CPoint pt) { return 0; }
  virtual int OnLButtonUp(UINT flags, CPoint pt) { return 0; }
  virtual int OnLButtonDblClk(UINT flags, CPoint pt) { return 0; }
  virtual int OnRButtonDown(UINT flags, CPoint pt) { return 0; }
  virtual int OnRButtonUp(UINT flags, CPoint pt) { return 0; }
  virtual int OnRButtonDblClk(UINT flags, CPoint pt) { return 0; }
  virtual int OnNcActivate(int active) { return 0; }
  virtual int OnPaint() { return 0; }
  virtual void OnTimer(UINT id) {}
  virtual int OnClose() { return 1; }
  virtual int OnDestroy() { return 0; }
  virtual int PostNcDestroy() { return 0; }

  MControl* CreateControl(const wchar_t* className, UINT id, CRect rect, const wchar_t* title, int a, int b) {
    return m_pm.CreateControl(this, className, id, rect, title, a, b);
  }
  MControl* CreateArea(const wchar_t* className, UINT id, CRect rect, const wchar_t* title, int a, int b) {
    return m_pm.CreateArea(this, className, id, rect, title, a, b);
  }
  MControl* GetControl(UINT id) { return m_pm.GetControl(id); }
  std::vector<MControl*>& GetControls() { return m_pm.GetControls(); }
  void SetFocusControl(MControl* control) { m_pm.SetFocusControl(control); }
  bool LoadBKImage(const std::wstring& file) { return m_pm.LoadBKImage(file); }
  void SetBackMode(enumBackMode mode, int frameWidth) { m_pm.SetBackMode(mode, frameWidth); }
  void SetLayeredWindow(int layered);
  void EnableWndDrag(int enable) { m_pm.EnableWndDrag(enable); }
  void SetupBackTranslucent();
  void SetWindowAlpha(int alpha) { m_alpha = alpha; }
  UINT SetMTimer(UINT ms) { return m_pm.SetMTimer(ms); }
  void KillMTimer(UINT id) { m_pm.KillMTimer(id); }
  void SetTooltip(const std::wstring& text, CRect rect) { m_pm.SetTooltip(text.c_str(), rect); }
  void ClearTooltip() { m_pm.ClearTooltip(); }
  // 0 (and nothing shown) when pt.x or pt.y is 0.
  int SetBalloonMsg(const wchar_t* text, CPoint pt, int type);
  // An empty rect means a 200-pixel box centred near the bottom of the client area.
  void SetMessage(const std::wstring& text, CRect rect, MsgLevel level);
  void SetProgress(int percent, const std::wstring& text, CRect rect) { m_pm.SetProgress(percent, text, rect); }
  void SetMessageOffset(int offset) { m_msgOffset = offset; }

  // ---- drop shadow (the setters do nothing before CreateShadow) ----
  // Makes the shadow window (shown with the dialog when `show`); 0 without a dialog window.
  int CreateShadow(int show);
  void SetSize(int size) { if (m_shadow) m_shadow->SetSize(size); }
  void SetSharpness(int sharpness) { if (m_shadow) m_shadow->SetSharpness(sharpness); }
  void SetDarkness(int darkness) { if (m_shadow) m_shadow->SetDarkness(darkness); }
  void SetPosition(int x, int y) { if (m_shadow) m_shadow->SetPosition(x, y); }
  void SetShadowColor(COLORREF color) { if (m_shadow) m_shadow->SetColor(color); }
  bool SetShadowImage(const std::wstring& file, const CRect& borders) { return m_shadow && m_shadow->SetImage(file, borders); }
  void SetShadowShow(int show) { if (m_shadow) m_shadow->SetShow(show != 0); }

  void DoOK() { RequestClose(IDOK); }
  void DoCancel() { RequestClose(IDCANCEL); }
  void DoClose() { RequestClose(IDCANCEL); }
  void DoYes() { RequestClose(IDYES); }
  void DoNo() { RequestClose(IDNO); }

  PaintManager& GetPaintManager() { return m_pm; }

 private:
  void RequestClose(UINT result);

  PaintManager m_pm;
  CRect m_client;
  COLORREF m_colorKey = 0xFFFFFF;
  int m_alpha = 255;
  int m_msgOffset = 0;
  UINT m_pendingClose = 0;
  std::unique_ptr<MShadow> m_shadow;
};

}  // namespace kl::vela
