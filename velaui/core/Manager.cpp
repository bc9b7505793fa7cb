#include "velaui/core/Manager.h"

#include <mutex>

#include "base/Path.h"
#include "platform/Paths.h"
#include "platform/WindowSystem.h"

namespace kl::vela {

namespace {

struct Settings {
  std::mutex lock;
  std::wstring fontName = L"SourceHanSansCN-Regular";
  int fontSize = 14;
  std::wstring deviceName = L"Keyloft";
  std::wstring skinFolder;
  std::set<MWindow*> windows;
};

Settings& S() {
  static Settings settings;
  return settings;
}

}  // namespace

void Manager::SetFontName(const std::wstring& face) {
  std::lock_guard lock(S().lock);
  S().fontName = face;
}

void Manager::SetFont(const std::wstring& face, int size) {
  std::lock_guard lock(S().lock);
  S().fontName = face;
  S().fontSize = size;
}

std::wstring Manager::GetFontName() {
  std::lock_guard lock(S().lock);
  return S().fontName;
}

int Manager::GetFontWidth() {
  std::lock_guard lock(S().lock);
  return S().fontSize;
}

void Manager::SetDeviceName(const std::wstring& name) {
  std::lock_guard lock(S().lock);
  S().deviceName = name;
}

std::wstring Manager::GetDeviceName() {
  std::lock_guard lock(S().lock);
  return S().deviceName;
}

std::wstring Manager::GetSkinFolder() {
  {
    std::lock_guard lock(S().lock);
    if (!S().skinFolder.empty()) return S().skinFolder;
  }
  return JoinPath(JoinPath(platform::ModuleFolder(), L"skins"), GetTheme());
}

void Manager::SetSkinFolder(const std::wstring& folder) {
  std::lock_guard lock(S().lock);
  S().skinFolder = folder;
}

std::wstring Manager::SkinPath(const std::wstring& file) { return JoinPath(GetSkinFolder(), file); }

void Manager::AddWnd(MWindow* window) {
  std::lock_guard lock(S().lock);
  S().windows.insert(window);
}

void Manager::DeleteWnd(MWindow* window) {
  std::lock_guard lock(S().lock);
  S().windows.erase(window);
}

bool Manager::IsWnd(MWindow* window) {
  std::lock_guard lock(S().lock);
  return S().windows.count(window) != 0;
}

int Manager::MessageLoop() {
  platform::WindowSystem* ws = platform::GetWindowSystem();
  if (!ws) return -1;
  ws->RunMessageLoop(nullptr);
  return ws->QuitCode();
}

}  // namespace kl::vela
