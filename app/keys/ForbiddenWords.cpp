#include "app/keys/ForbiddenWords.h"

#include "base/CString.h"

namespace kl {

namespace {
// Stored in lower case: the text is lower-cased before the search, so an upper-case entry
// would never match. The words are matched as substrings, so none may be a common piece of
// ordinary names (a two-letter word such as "sb" would refuse "USB keys").
constexpr std::wstring_view kForbiddenWords[] = {
    L"jizz", L"fuck", L"shit", L"cunt", L"twat", L"wank",
    L"傻逼", L"煞笔", L"操你", L"他妈", L"妈的", L"贱人", L"滚蛋", L"王八", L"混蛋",
};
}  // namespace

bool ContainsForbiddenWord(std::wstring_view text) {
  CString lower(text);
  lower.MakeLower();
  for (std::wstring_view word : kForbiddenWords)
    if (lower.Find(word) >= 0) return true;
  return false;
}

}  // namespace kl
