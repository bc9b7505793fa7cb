// Keyloft's entry point. The main window is not built yet: the program runs its start-up,
// reads the configuration and the keyboard's layout, and says what it found.
#include <cstdio>

#include "app/LanguageTexts.h"
#include "app/Startup.h"
#include "app/config/Configuration.h"
#include "app/config/Layout.h"
#include "base/Encoding.h"
#include "platform/Paths.h"

namespace {

void Say(const std::wstring& text) { std::printf("%s\n", kl::WideToUtf8(text).c_str()); }

}  // namespace

int main() {
  kl::platform::SingleInstanceLock lock;
  if (kl::PrepareProcess(lock) == kl::StartupResult::AlreadyRunning) {
    Say(kl::ApplicationName() + L" is already running.");
    return 0;
  }

  const std::wstring moduleFolder = kl::platform::ModuleFolder();
  kl::Configuration config;
  if (!kl::LoadConfiguration(moduleFolder, config))
    Say(L"config.xml is missing or malformed in " + moduleFolder + L"; no keyboard will be recognised.");

  const kl::KeyboardModel model = kl::FindKeyboardModel(config, 301);
  kl::KeyboardLayout layout;
  const bool layoutLoaded = kl::LoadLayoutFile(kl::LayoutFilePath(moduleFolder, model.layoutName), layout);

  Say(L"Application: " + kl::ApplicationName() + L" " + config.version);
  Say(L"Language: " + std::to_wstring(kl::CurrentLanguage()) + L" (" + kl::GetText(kl::kTextSection, 56) + L")");
  Say(L"Data folder: " + kl::DataFolder());
  Say(L"Keyboards: " + std::to_wstring(config.keyboards.size()) + L", connection modes: " +
      std::to_wstring(config.modes.size()));
  if (layoutLoaded) {
    Say(L"Layout " + model.layoutName + L" (" + model.name + L"): " + std::to_wstring(layout.keys.size()) +
        L" keys, " + std::to_wstring(layout.lightModes.size()) + L" light modes");
  } else {
    Say(L"No layout could be read for device type 301.");
  }
  Say(L"The main window is not part of this build yet.");
  return 0;
}
