// Start-up before the main window: the application name, the single instance, the interface
// language and the per-user data folder. These run on the first thread before any other
// thread exists; the process-wide values they set are read from any thread afterwards.
#pragma once

#include <string>

#include "platform/Settings.h"
#include "platform/SingleInstance.h"

namespace kl {

// Process-wide values set during start-up.
const std::wstring& ApplicationName();
void SetApplicationName(const std::wstring& name);
int CurrentLanguage();  // 2052 or 1033
void SetCurrentLanguage(int language);

// The stored language: its number, 0 when none is stored yet (or the text is empty or not a
// number), 2052 when the settings can neither be read nor created.
int ReadLanguageSetting(platform::SettingsStore& settings);
// Stores the language as decimal text. Failures are not reported: the next start asks again.
void WriteLanguageSetting(platform::SettingsStore& settings, int language);
// The language to use: the stored one, or on first run the system language normalised to
// 2052 or 1033 and written back.
int DetermineLanguage(platform::SettingsStore& settings, int systemLanguage);

// "<local application data>/<name> Data" and its "db" sub-folder (no trailing separator).
std::wstring DataFolder();
std::wstring StoreFolder();

enum class StartupResult { Ready, AlreadyRunning };
// Runs the start-up steps in order: application name from config.xml, the single-instance
// lock (kept in `lock` for the life of the process), the language, the data folders.
StartupResult PrepareProcess(platform::SingleInstanceLock& lock);

}  // namespace kl
