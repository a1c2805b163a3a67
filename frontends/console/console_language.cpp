#include "frontends/console/console_language.h"

#include <array>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace digital_id {

Language LanguageOfLocale(std::string_view locale) {
  return locale.starts_with("fr") ? Language::French : Language::English;
}

Language ConsoleLanguage() {
  for (const char* name : std::array{"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return LanguageOfLocale(value);
    }
  }
#ifdef _WIN32
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_FRENCH ? Language::French
                                                                  : Language::English;
#else
  return Language::English;
#endif
}

}  // namespace digital_id
