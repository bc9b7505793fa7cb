#include "app/LanguageTexts.h"

#include "app/Startup.h"
#include "base/IniFile.h"
#include "base/Path.h"
#include "platform/Paths.h"

namespace kl {

std::wstring GetText(std::wstring_view section, int number) {
  const int language = CurrentLanguage();
  const std::wstring path =
      JoinPath(platform::ModuleFolder(), L"language/" + std::to_wstring(language) + L".lan");
  // An 8-bit file without a byte-order mark is read in the code page a Windows system of
  // that language would use.
  IniFile file;
  if (!file.LoadFile(path, language == kLanguageChinese ? 936 : kSystemCodePage)) return {};
  std::wstring text = file.GetString(section, std::to_wstring(number));
  if (text.size() > 259) text.resize(259);
  return text;
}

std::wstring RelabelDefaultName(std::wstring_view name, int newLanguage, DefaultName kind,
                                std::wstring_view replacement) {
  std::wstring_view prefix;
  if (newLanguage == kLanguageChinese) prefix = kind == DefaultName::Profile ? L"Profile" : L"Macro";
  else if (newLanguage == kLanguageEnglish) prefix = kind == DefaultName::Profile ? L"配置方案" : L"宏";
  if (prefix.empty() || !name.starts_with(prefix)) return std::wstring(name);
  return std::wstring(replacement) + std::wstring(name.substr(prefix.size()));
}

}  // namespace kl
