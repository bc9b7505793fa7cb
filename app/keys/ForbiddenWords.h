// Names the user gives profiles and macros must not contain any of a short built-in list of
// insults. The check ignores letter case.
#pragma once
#include <string_view>

namespace kl {

bool ContainsForbiddenWord(std::wstring_view text);

}  // namespace kl
