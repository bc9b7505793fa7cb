// The user's interface language as a Windows language identifier. Any thread.
#pragma once

namespace kl::platform {

// Linux: the first set of LANGUAGE (its first entry), LC_ALL, LC_MESSAGES and LANG.
// Simplified Chinese (zh_CN, zh_SG, zh_Hans...) gives 2052; every other language 1033.
int SystemUiLanguage();

}  // namespace kl::platform
