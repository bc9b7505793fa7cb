// Folders the program reads from and writes to, and folder creation.
// Every function may be called from any thread; none throws.
#pragma once

#include <string>

namespace kl::platform {

// The folder of the running executable, without a trailing separator (data files sit beside
// the executable). Linux: dirname of /proc/self/exe. Empty when it cannot be determined.
std::wstring ModuleFolder();
// Tests point the program at another data folder; an empty path restores the real one.
// Call before any other thread starts.
void OverrideModuleFolder(const std::wstring& folder);

// The per-user application data folder ($XDG_DATA_HOME, default ~/.local/share).
std::wstring LocalAppDataFolder();
// The per-user configuration folder ($XDG_CONFIG_HOME, default ~/.config).
std::wstring UserConfigFolder();
// A per-user folder for runtime files such as locks ($XDG_RUNTIME_DIR, default /tmp).
std::wstring RuntimeFolder();

// Creates `path` and every missing parent. True when the folder exists afterwards.
bool CreateFolderRecursive(const std::wstring& path);

}  // namespace kl::platform
