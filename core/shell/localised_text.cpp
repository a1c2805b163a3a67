#include "core/shell/localised_text.h"

#include "core/shell/settings.h"

namespace digital_id {

Language LanguageFromSetting(std::u16string_view value) {
  return value == u"FR" ? Language::French : Language::English;
}

Language ReadLanguage() {
  return LanguageFromSetting(ReadSetting(keys::kLanguage));
}

}  // namespace digital_id
