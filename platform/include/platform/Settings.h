// Program settings: a handful of named decimal texts per application ("LCID", "exit_mode").
// Linux keeps them in $XDG_CONFIG_HOME/<app>/settings.ini; a Windows backend uses the registry
// key HKEY_CURRENT_USER\SOFTWARE\<app>. Use from the UI thread.
#pragma once

#include <optional>
#include <string>

namespace kl::platform {

class SettingsStore {
 public:
  explicit SettingsStore(std::wstring appName);

  // Makes sure the settings location exists (creating it on first run). False when it can
  // neither be read nor created; every read then finds nothing and every write fails.
  bool Open();
  // True when Open() found no settings yet and created the location.
  bool Created() const { return m_created; }

  // The stored text, or nothing when the value (or the whole store) is missing.
  std::optional<std::wstring> Get(const std::wstring& name) const;
  // Stores the text. The file is replaced atomically (written to a temporary file, flushed,
  // then renamed), so a crash never leaves half a file. False on any failure.
  bool Set(const std::wstring& name, const std::wstring& value);

  std::wstring FilePath() const;

 private:
  std::wstring m_appName;
  bool m_open = false;
  bool m_created = false;
};

}  // namespace kl::platform
