// Language texts: every user-visible text is a number looked up in language/<id>.lan beside
// the program (2052 Simplified Chinese, 1033 English), section "KL.TEXTS".
#pragma once

#include <string>
#include <string_view>

namespace kl {

constexpr wchar_t kTextSection[] = L"KL.TEXTS";
constexpr int kLanguageChinese = 2052;
constexpr int kLanguageEnglish = 1033;

// The text `number` of `section` in the current language's file, at most 259 characters;
// empty when the file, section or key is missing. The file is read on every call, so an edited
// file or a language change takes effect at once.
std::wstring GetText(std::wstring_view section, int number);

// Default names carry a language's prefix ("Profile 2", "配置方案2", "Macro 1", "宏1"). After a
// switch to `newLanguage`, a name that starts with the other language's prefix gets that prefix
// replaced by `replacement` (the new language's text 65 or 331); other names stay as they are.
enum class DefaultName { Profile, Macro };
std::wstring RelabelDefaultName(std::wstring_view name, int newLanguage, DefaultName kind,
                                std::wstring_view replacement);

}  // namespace kl
