#include "app/Startup.h"

#include <atomic>

#include "app/LanguageTexts.h"
#include "app/config/Configuration.h"
#include "base/Parse.h"
#include "base/Path.h"
#include "platform/Paths.h"
#include "platform/SystemLanguage.h"

namespace kl {
namespace {

std::wstring g_applicationName;  // written once before other threads start
std::atomic<int> g_language{kLanguageEnglish};

constexpr wchar_t kLanguageKey[] = L"LCID";

}  // namespace

const std::wstring& ApplicationName() { return g_applicationName; }
void SetApplicationName(const std::wstring& name) { g_applicationName = name; }
int CurrentLanguage() { return g_language.load(std::memory_order_relaxed); }
void SetCurrentLanguage(int language) { g_language.store(language, std::memory_order_relaxed); }

int ReadLanguageSetting(platform::SettingsStore& settings) {
  if (!settings.Open()) return kLanguageChinese;
  if (settings.Created()) return 0;
  return ParseDecimal(settings.Get(kLanguageKey).value_or(L""));
}

void WriteLanguageSetting(platform::SettingsStore& settings, int language) {
  settings.Set(kLanguageKey, std::to_wstring(language));
}

int DetermineLanguage(platform::SettingsStore& settings, int systemLanguage) {
  int language = ReadLanguageSetting(settings);
  if (language == 0) {
    language = systemLanguage == kLanguageChinese ? kLanguageChinese : kLanguageEnglish;
    WriteLanguageSetting(settings, language);
  }
  return language;
}

std::wstring DataFolder() { return JoinPath(platform::LocalAppDataFolder(), ApplicationName() + L" Data"); }

std::wstring StoreFolder() { return JoinPath(DataFolder(), L"db"); }

StartupResult PrepareProcess(platform::SingleInstanceLock& lock) {
  SetApplicationName(ReadApplicationName(platform::ModuleFolder()));
  // A failed lock (no runtime folder we can write) must not stop the program: it runs as the
  // only instance it knows of.
  if (lock.Acquire(ApplicationName()) == platform::SingleInstanceLock::Result::AlreadyRunning)
    return StartupResult::AlreadyRunning;
  platform::SettingsStore settings(ApplicationName());
  SetCurrentLanguage(DetermineLanguage(settings, platform::SystemUiLanguage()));
  // A folder that cannot be created is not reported here: the store reports its own failure.
  platform::CreateFolderRecursive(StoreFolder());
  return StartupResult::Ready;
}

}  // namespace kl
