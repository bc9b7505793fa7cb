#include "velaui/core/MenuWnd.h"

#include "velaui/core/MenuItem.h"
#include "velaui/core/Manager.h"
#include "velaui/core/Notify.h"

namespace kl::vela {

MenuWnd::MenuWnd(MObject* parent) : MPopupWnd(parent) {}

bool MenuWnd::Create(platform::WindowId owner, CPoint pt, UINT notifyMsg, const std::wstring& bkImage, int frameWidth,
                     int menuWidth, enumBackMode mode) {
  m_owner = owner;
  m_notifyMsg = notifyMsg;
  m_width = menuWidth > 0 ? menuWidth : m_width;
  const CRect rect(pt.x, pt.y, pt.x + m_width, pt.y + m_width);
  if (!MWindow::Create(owner, L"Menu Window", 0, WS_EX_TOOLWINDOW, rect)) return false;
  PaintManager& pm = GetPaintManager();
  pm.SetBackColor(MakeColorRef(0x1B, 0x1F, 0x26), MakeColorRef(0x33, 0x3A, 0x46));
  if (!bkImage.empty() && pm.LoadBKImage(bkImage)) pm.SetBackMode(mode, frameWidth);
  SetMenuPoint();
  return true;
}

MenuItem* MenuWnd::AddMenu(const std::wstring& text, UINT id, const std::wstring& iconFile) {
  if (!IsWindow()) return nullptr;
  const Font font{Manager::GetFontName(), Manager::GetFontWidth(), 0};
  const int textWidth = Canvas::MeasureText(text, font).cx;
  // Room for the text indent and the check mark on the right.
  const int needed = textWidth + 30 + m_leftMargin + 34;
  if (m_width < needed) m_width = needed;
  auto* item = static_cast<MenuItem*>(CreateControl(L"MenuItem", id, CRect(), text.c_str(), 1, 1));
  if (!item) return nullptr;
  item->SetFont(font.face, font.pixelSize, font.style);
  if (!iconFile.empty()) item->SetImage(iconFile.c_str(), 4);
  SetMenuPoint();
  return item;
}

MenuItem* MenuWnd::AddSeparator(UINT id) {
  auto* item = static_cast<MenuItem*>(CreateControl(L"MenuItem", id, CRect(), L"", 1, 1));
  if (!item) return nullptr;
  item->SetSeparator(1);
  SetMenuPoint();
  return item;
}

MenuItem* MenuWnd::GetItem(UINT id) { return dynamic_cast<MenuItem*>(GetControl(id)); }

void MenuWnd::SetMenuPoint() {
  int y = m_topSpacing ? m_topSpacing : 2;
  for (MControl* c : GetControls()) {
    auto* item = dynamic_cast<MenuItem*>(c);
    if (!item) continue;
    if (!item->IsVisible()) {
      item->SetControlRect(CRect());
      continue;
    }
    if (item->IsSeparator()) {
      item->SetControlRect(CRect(m_leftMargin + 1, y + 1, m_width - 1, y + 3));
      y += 4;
    } else {
      item->SetControlRect(CRect(2, y, m_width - 2, y + m_itemHeight));
      y += m_itemHeight;
      item->SetTextIndent(m_leftMargin + 25);
      item->SetHoverColor(m_hoverColor);
    }
    item->UpdateControl(1, 0);
  }
  const CRect b = GetWindowRect();
  MoveWindow(CRect(b.left, b.top, b.left + m_width, b.top + y + (m_bottomSpacing ? m_bottomSpacing : 2)));
}

LRESULT MenuWnd::OnMessage(UINT id, UINT code, UINT wParam, LPARAM) {
  if (platform::WindowSystem* ws = platform::GetWindowSystem(); ws && m_owner && m_notifyMsg)
    ws->Post(m_owner, m_notifyMsg, wParam, static_cast<LPARAM>(id));
  if (code == NotifyClick) CloseWindow();
  return 0;
}

int MenuWnd::PostNcDestroy() {
  if (m_deleteOnClose) delete this;
  return 0;
}

}  // namespace kl::vela
