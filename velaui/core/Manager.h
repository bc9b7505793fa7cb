// Manager: process-wide settings of VelaUI and the program's main message loop.
#pragma once

#include <set>
#include <string>

#include "base/Color.h"

namespace kl::vela {

class MWindow;

class Manager {
 public:
  static void SetFontName(const std::wstring& face);
  static void SetFont(const std::wstring& face, int size);
  static std::wstring GetFontName();
  static int GetFontWidth();
  static void SetDeviceName(const std::wstring& name);
  static std::wstring GetDeviceName();
  static ARGB GetSelectColor() { return 0xFF10A8FD; }
  static std::wstring GetTheme() { return L"theme1"; }
  // The folder skin file names are relative to: <executable folder>/skins/theme1.
  static std::wstring GetSkinFolder();
  // Tests and tools point the library at another skin folder; empty restores the default.
  static void SetSkinFolder(const std::wstring& folder);
  // A skin file name (which may use "\" or "//") as a full path.
  static std::wstring SkinPath(const std::wstring& file);

  static void AddWnd(MWindow* window);
  static void DeleteWnd(MWindow* window);
  static bool IsWnd(MWindow* window);

  // Runs the UI thread's loop until a quit is posted; returns the quit code (-1 without a
  // window system).
  static int MessageLoop();
};

}  // namespace kl::vela
