#include "platform/SystemLanguage.h"

#include <cstdlib>
#include <string_view>

namespace kl::platform {

int SystemUiLanguage() {
  std::string_view locale;
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) {
      locale = value;
      break;
    }
  }
  locale = locale.substr(0, locale.find(':'));  // LANGUAGE lists several, best first
  // zh_CN.UTF-8, zh_SG, zh-Hans, zh_Hans_CN: Simplified Chinese. zh_TW / zh_HK are not.
  for (std::string_view prefix : {"zh_CN", "zh_SG", "zh_Hans", "zh-CN", "zh-SG", "zh-Hans"})
    if (locale.starts_with(prefix)) return 2052;
  return 1033;
}

}  // namespace kl::platform
