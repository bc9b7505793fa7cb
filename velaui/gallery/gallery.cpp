// velaui-gallery: a frameless, skinned dialog that shows the library's pieces (pictures, areas, an
// animation, a menu, a combo drop-down, a balloon, a tooltip, a drop shadow and a modal child with
// a shadow), for looking at them and for the
// end-to-end tests, which drive it with real input and read what it reports on stdout:
//
//   ready <x> <y> <w> <h>            the main window is shown (screen rect)
//   button <id> <x> <y> <w> <h>       where a button is (screen rect), printed after "ready"
//   click <id>                        a button was clicked
//   modal-open <x> <y> <w> <h>       the modal child is shown; its OK and Cancel follow as buttons
//   modal <result>                    ShowModal returned
//   menu-open <x> <y> <w> <h>        the menu window is shown
//   menu <id>                         a menu item was chosen
//   menu-closed                       the menu window is gone
//   combo-open <x> <y> <w> <h>       the combo's drop-down is shown
//   combo <index>                     a row of the drop-down was chosen
//   combo-closed                      the drop-down is gone
//
// Options: --screenshot <png> writes the off-screen render and exits; --render <png> writes it
// and stays; --still keeps the animation still; --exit-after <ms> ends the program.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/Encoding.h"
#include "platform/x11/X11WindowSystem.h"
#include "velaui/core/CArea.h"
#include "velaui/core/CComboBoxWnd.h"
#include "velaui/core/CGifPicture.h"
#include "velaui/core/CPhotoFrame.h"
#include "velaui/core/MDialog.h"
#include "velaui/core/MPicture.h"
#include "velaui/core/MRender.h"
#include "velaui/core/MShadow.h"
#include "velaui/core/MenuItem.h"
#include "velaui/core/MenuWnd.h"
#include "velaui/core/Notify.h"

using namespace kl;
using namespace kl::vela;

namespace {

void Report(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string RectText(const CRect& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.Width()) + " " + std::to_string(r.Height());
}

// A line of text; the gallery's own small label (the library's text controls come later).
class Label : public MControlFont {
 public:
  Label(MObject* parent, UINT id, CRect rect, const wchar_t* text, int size, ARGB color, int align = 0)
      : MControlFont(parent, id, rect, text, 1, 1, 0) {
    m_fontSize = size;
    m_textColor = color;
    m_hAlign = align;
  }
  void DrawControl(Canvas& canvas, CRect clip) override {
    canvas.Save();
    canvas.ClipRect(CRect::Intersect(m_rect, clip));
    canvas.DrawText(m_title, m_rect, GetFont(), m_textColor, AlignmentFormat() | DT_SINGLELINE | DT_END_ELLIPSIS);
    canvas.Restore();
  }
};

// A skinned push button: the state strip as a frame picture and a centred title.
class Button : public CPhotoFrame {
 public:
  Button(MObject* parent, UINT id, CRect rect, const wchar_t* title) : CPhotoFrame(parent, id, rect, 1, 1) { m_title = title; }
  int OnControlLButtonUp(UINT flags, CPoint pt) override {
    const bool pressed = GetState() == 2;
    CPhotoFrame::OnControlLButtonUp(flags, pt);
    if (pressed && m_rect.PtInRect(pt)) SendMessageW(NotifyClick, 0, 0);
    return 1;
  }
  void DrawControl(Canvas& canvas, CRect clip) override {
    CPhotoFrame::DrawControl(canvas, clip);
    canvas.Save();
    canvas.ClipRect(CRect::Intersect(m_rect, clip));
    CRect text = m_rect;
    if (GetState() == 2) text.OffsetRect(1, 1);
    canvas.DrawText(m_title, text, GetFont(), m_enabled ? 0xFFFFFFFF : 0xFF808080, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    canvas.Restore();
  }
};

Button* AddButton(MDialog& dlg, UINT id, CRect rect, const wchar_t* title, const wchar_t* strip = L"btn_apply.png", int border = 8) {
  auto* b = new Button(&dlg, id, rect, title);
  dlg.GetPaintManager().AddControl(b, 1);
  b->SetImage(strip, 4);
  b->SetShowMode(border ? SHOW_MODE_FRAME : SHOW_MODE_STRETCH, border);
  return b;
}

void ReportButton(MDialog& dlg, UINT id) {
  if (MControl* c = dlg.GetControl(id)) Report("button " + std::to_string(id) + " " + RectText(dlg.ClientToScreen(c->GetRect())));
}

const wchar_t* const kEffects[] = {L"Wave", L"Breathing", L"Ripple", L"Static", L"Spectrum", L"Reactive", L"Rainbow"};

// The gallery's stand-in for a combo box (the library's own comes with the list controls): a
// button that opens the drop-down under itself and shows the chosen row as its title.
class ComboButton : public Button {
 public:
  ComboButton(MDialog& dlg, UINT id, CRect rect) : Button(&dlg, id, rect, L""), m_dlg(dlg) { SetChoice(0); }

  void Open() {
    const int count = static_cast<int>(std::size(kEffects));
    platform::WindowSystem* ws = platform::GetWindowSystem();
    const CRect combo = m_dlg.ClientToScreen(m_rect);
    // The last drop-down has closed by now (a press outside closes it): its object can go.
    m_drop = std::make_unique<CComboBoxWnd>(this);
    if (!m_drop->Create(m_dlg.GetSafeHwnd(), CComboBoxWnd::GetDropRect(combo, count, ws->GetWorkArea(combo.CenterPoint())))) return;
    for (int i = 0; i < count; ++i) m_drop->AddItem(kEffects[i], i, i == 0 ? L"default" : L"");
    m_drop->SetCurSel(m_choice);
    m_drop->ShowWindow(SW_SHOW);
    Report("combo-open " + RectText(m_drop->GetWindowRect()));
  }

  LRESULT OnMessage(UINT, UINT code, UINT wParam, LPARAM lParam) override {
    if (code == NotifyClick && lParam == CComboBoxList::kChoiceMark) {
      SetChoice(static_cast<int>(wParam));
      Report("combo " + std::to_string(wParam));
    } else if (code == NotifyDropClosed) {
      Report("combo-closed");
    }
    return 0;
  }

 private:
  void SetChoice(int index) {
    m_choice = index;
    SetTitle((std::wstring(L"Effect: ") + kEffects[index] + L"  \u25BE").c_str());
  }

  MDialog& m_dlg;
  std::unique_ptr<CComboBoxWnd> m_drop;
  int m_choice = 0;
};

// A card with a dialog's drop shadow under it, drawn by the shadow's own painter: a real shadow
// window needs a compositing manager to be seen, this shows the same picture anywhere. The card
// takes the control's rect less the shadow's reach (sharpness 6, offset 5, 5).
class ShadowCard : public MControlFont {
 public:
  ShadowCard(MObject* parent, UINT id, CRect rect, const wchar_t* title) : MControlFont(parent, id, rect, title, 1, 1, 0) {}
  void DrawControl(Canvas& canvas, CRect clip) override {
    constexpr int kSharpness = 6;
    const CRect card(m_rect.left + 1, m_rect.top + 1, m_rect.right - 11, m_rect.bottom - 11);
    Canvas shadow(m_rect.Width(), m_rect.Height());
    CRect inShadow = card;
    inShadow.OffsetRect(-m_rect.left, -m_rect.top);
    MShadow::PaintSoftShadow(shadow, inShadow, 150, kSharpness, 0);
    canvas.Save();
    canvas.ClipRect(CRect::Intersect(m_rect, clip));
    cairo_set_source_surface(canvas.Cr(), shadow.Surface(), m_rect.left, m_rect.top);
    cairo_paint(canvas.Cr());
    canvas.FillRect(card, 0xFF2B3240);
    canvas.DrawText(m_title, card, GetFont(), 0xFFE8ECF0, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    canvas.Restore();
  }
};

class ConfirmDialog : public MDialog {
 public:
  void InitUI(CRect client) override {
    SetLayeredWindow(1);  // the rounded corners of the frame picture are see-through
    CreateShadow(1);      // seen where a compositing manager runs
    LoadBKImage(L"bk_prompt.png");
    SetBackMode(BACK_MODE_FRAME, 30);
    GetPaintManager().AddControl(new Label(this, 10, CRect(24, 20, client.right - 24, 50), L"Apply the new lighting?", 18, 0xFFFFFFFF), 1);
    GetPaintManager().AddControl(
        new Label(this, 11, CRect(24, 54, client.right - 24, 80), L"The keyboard stores it in its current profile.", 14, 0xFF9AA3AE), 1);
    AddButton(*this, IDOK, CRect(client.right - 244, client.bottom - 58, client.right - 134, client.bottom - 20), L"OK");
    AddButton(*this, IDCANCEL, CRect(client.right - 124, client.bottom - 58, client.right - 24, client.bottom - 20), L"Cancel");
  }
  LRESULT OnMessage(UINT id, UINT code, UINT, LPARAM) override {
    if (code != NotifyClick) return 0;
    if (id == IDOK) DoOK();
    if (id == IDCANCEL) DoCancel();
    return 0;
  }
};

class GalleryMenu : public MenuWnd {
 public:
  using MenuWnd::MenuWnd;
  int PostNcDestroy() override {
    Report("menu-closed");
    return MenuWnd::PostNcDestroy();
  }
};

constexpr UINT kMenuMessage = WM_USER + 200;

class GalleryDialog : public MDialog {
 public:
  bool still = false;

  void InitUI(CRect client) override {
    PaintManager& pm = GetPaintManager();
    LoadBKImage(L"main_bkg.png");
    auto* caption = new MPicture(this, 2, CRect(0, 0, client.right, 60), 1, 1);
    pm.AddControl(caption, 0);
    caption->SetImage(L"pic_caption.png", 1);
    auto* logo = new MPicture(this, 3, CRect(16, 5, 145, 55), 1, 1);
    pm.AddControl(logo, 1);
    logo->SetImage(L"logo\\logo.png", 1);
    logo->SetShowMode(SHOW_MODE_NORMAL);
    pm.AddControl(new Label(this, 4, CRect(160, 16, 600, 44), L"VelaUI Gallery", 16, 0xFF9AA3AE), 1);
    auto* close = AddButton(*this, 41, CRect(client.right - 46, 15, client.right - 16, 45), L"", L"main_sysbtn_close.png", 0);
    close->SetTooltip(L"Close the gallery");
    AddButton(*this, 42, CRect(client.right - 86, 15, client.right - 56, 45), L"", L"main_sysbtn_min.png", 0)->SetTooltip(L"Minimise");

    // A translucent panel with the keyboard picture.
    auto* panel = static_cast<CArea*>(CreateArea(L"CArea", 20, CRect(20, 76, client.right - 20, 384), nullptr, 1, 1));
    panel->SetTransparent(88, 94, MakeColorRef(0x60, 0x70, 0x88));
    auto* keyboard = new MPicture(this, 21, CRect(40, 88, client.right - 40, 88 + (client.right - 80) * 355 / 1090), 1, 1);
    pm.AddControl(keyboard, 1);
    keyboard->SetImage(L"keyboard/TR640.png", 1);

    // Pictures in the show modes, and the animation.
    pm.AddControl(new Label(this, 30, CRect(24, 396, 400, 418), L"Show modes", 14, 0xFF9AA3AE), 1);
    const wchar_t* names[] = {L"Own size", L"Tiled", L"Stretched", L"Frame"};
    for (int i = 0; i < 4; ++i) {
      auto* frame = new CArea(this, 31 + i, CRect(24 + i * 110, 422, 124 + i * 110, 502), 1, 1);
      pm.AddControl(frame, 0);
      frame->SetTransparent(0, 0, MakeColorRef(0x1C, 0x20, 0x27));
      frame->SetFrame(1, 0xFF343B47);
      auto* pic = new MPicture(this, 35 + i, CRect(30 + i * 110, 428, 118 + i * 110, 496), 1, 1);
      pm.AddControl(pic, 1);
      pic->SetImage(i == 3 ? L"bk_prompt.png" : L"imgbtn_add.png", i == 3 ? 1 : 4);
      pic->SetAlignment(1, 4);
      pic->SetShowMode(i, 20);
      pm.AddControl(new Label(this, 60 + i, CRect(24 + i * 110, 504, 124 + i * 110, 524), names[i], 12, 0xFF6A717C, 1), 1);
    }
    auto* gif = new CGifPicture(this, 50, CRect(480, 412, 580, 512), 1, 1);
    pm.AddControl(gif, 1);
    gif->SetImage(L"loading\\loading.gif", 1);
    if (!still) {
      gif->SetRunState(1, 0);
      gif->AddMTimer();
      SetMTimer(10);
    }
    pm.AddControl(new Label(this, 51, CRect(480, 514, 580, 534), L"Animation", 12, 0xFF6A717C, 1), 1);

    // Buttons for the windows.
    AddButton(*this, 101, CRect(620, 412, 760, 450), L"Click me")->SetTooltip(L"A skinned button in a frameless window");
    AddButton(*this, 102, CRect(620, 460, 760, 498), L"Open dialog");
    AddButton(*this, 103, CRect(620, 508, 760, 546), L"Menu");
    AddButton(*this, 104, CRect(770, 412, client.right - 24, 450), L"Balloon");
    AddButton(*this, 105, CRect(770, 460, client.right - 24, 498), L"Progress");
    auto* disabled = AddButton(*this, 106, CRect(770, 508, client.right - 24, 546), L"Disabled");
    disabled->SetEnabled(0);
    m_combo = new ComboButton(*this, 107, CRect(24, 546, 244, 580));
    pm.AddControl(m_combo, 1);
    m_combo->SetImage(L"btn_apply.png", 4);
    m_combo->SetShowMode(SHOW_MODE_FRAME, 8);
    pm.AddControl(new ShadowCard(this, 108, CRect(300, 540, 452, 592), L"Drop shadow"), 1);
    m_status = new Label(this, 110, CRect(24, client.bottom - 34, client.right - 24, client.bottom - 12), L"Ready", 13, 0xFF9AA3AE);
    pm.AddControl(m_status, 1);
  }

  LRESULT OnMessage(UINT id, UINT code, UINT, LPARAM) override {
    if (code != NotifyClick) return 0;
    Report("click " + std::to_string(id));
    switch (id) {
      case 41:
        platform::GetWindowSystem()->PostQuit(0);
        break;
      case 42:
        OnMinimize();
        break;
      case 101:
        m_status->SetTitle(L"Clicked");
        break;
      case 102:
        OpenModal();
        break;
      case 103:
        OpenMenu();
        break;
      case 104:
        SetBalloonMsg(L"Settings saved to the keyboard", GetBalloonPoint(GetControl(104), 1), 1);
        break;
      case 107:
        m_combo->Open();
        break;
      case 105:
        SetProgress(m_progress = m_progress >= 100 ? 10 : m_progress + 30, L"Uploading lighting", CRect());
        break;
      default:
        break;
    }
    return 0;
  }

  LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == kMenuMessage) {
      Report("menu " + std::to_string(lParam));
      return 0;
    }
    return MDialog::OnWindowMessage(msg, wParam, lParam);
  }

 private:
  void OpenModal() {
    ConfirmDialog child;
    if (!child.Create(GetSafeHwnd(), L"MessageBox", 0, WS_EX_TOOLWINDOW, CRect(0, 0, 420, 190))) return;
    child.CenterWindow(this);
    Report("modal-open " + RectText(child.GetWindowRect()));
    ReportButton(child, IDOK);
    ReportButton(child, IDCANCEL);
    const UINT result = child.ShowModal();
    Report("modal " + std::to_string(result));
    m_status->SetTitle(result == IDOK ? L"Dialog: OK" : L"Dialog: Cancel");
  }

  void OpenMenu() {
    MControl* button = GetControl(103);
    const CPoint at = ClientToScreen(CPoint{button->GetRect().left, button->GetRect().bottom + 2});
    auto* menu = new GalleryMenu(this);
    if (!menu->Create(GetSafeHwnd(), at, kMenuMessage, L"", 0, 180)) {
      delete menu;
      return;
    }
    menu->AddMenu(L"Import profile", 501, L"icon/icon_home.png");
    menu->AddMenu(L"Export profile", 502);
    menu->AddSeparator(503);
    MenuItem* lock = menu->AddMenu(L"Lock the Windows key", 504);
    lock->SetCheckable(1);
    lock->SetCheck(1);
    menu->AddMenu(L"Restore factory settings", 505);
    menu->ShowWindow(SW_SHOW);
    Report("menu-open " + RectText(menu->GetWindowRect()));
  }

  Label* m_status = nullptr;
  ComboButton* m_combo = nullptr;
  int m_progress = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::string screenshot, render;
  int exitAfter = 0;
  bool still = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) screenshot = argv[++i];
    else if (!std::strcmp(argv[i], "--render") && i + 1 < argc) render = argv[++i];
    else if (!std::strcmp(argv[i], "--exit-after") && i + 1 < argc) exitAfter = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--still")) still = true;
  }
  auto ws = platform::X11WindowSystem::Open();
  if (!ws) {
    std::fprintf(stderr, "velaui-gallery: cannot open the display\n");
    return 1;
  }
  platform::SetWindowSystem(ws.get());
  int code = 0;
  {
    GalleryDialog dlg;
    dlg.still = still || !screenshot.empty();
    const CRect work = ws->GetWorkArea({0, 0});
    const int w = 960, h = 620;
    const int x = work.left + (work.Width() - w) / 2, y = work.top + (work.Height() - h) / 2;
    if (!dlg.Create(0, L"VelaUI Gallery", 0, 0, CRect(x, y, x + w, y + h))) {
      std::fprintf(stderr, "velaui-gallery: cannot create the window\n");
      return 1;
    }
    dlg.SetIcon(L"Keyloft.ico");
    dlg.ShowWindow(SW_SHOW);
    // Let the first paint happen before anyone looks.
    bool settled = false;
    const platform::TickId settle = ws->StartTick(300, [&](platform::TickId) { settled = true; });
    ws->RunMessageLoop([&] { return !settled; });
    ws->StopTick(settle);
    for (const std::string& path : {screenshot, render}) {
      if (path.empty()) continue;
      auto canvas = dlg.GetPaintManager().RenderToCanvas();
      if (!canvas || !MRender::SavePng(*canvas, Utf8ToWide(path))) {
        std::fprintf(stderr, "velaui-gallery: cannot write %s\n", path.c_str());
        code = 1;
      }
      dlg.GetPaintManager().Invalidate();
    }
    if (!screenshot.empty()) return code;
    Report("ready " + RectText(dlg.GetWindowRect()));
    for (UINT id : {41u, 42u, 101u, 102u, 103u, 104u, 107u}) ReportButton(dlg, id);
    if (exitAfter > 0) {
      const uint64_t end = ws->NowMs() + static_cast<uint64_t>(exitAfter);
      platform::WindowSystem* system = ws.get();
      ws->StartTick(100, [system, end](platform::TickId) {
        if (system->NowMs() >= end) system->PostQuit(0);
      });
    }
    ws->RunMessageLoop(nullptr);
  }
  platform::SetWindowSystem(nullptr);
  return code;
}
