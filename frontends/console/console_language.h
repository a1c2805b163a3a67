#pragma once

#include <string_view>

#include "core/shell/localised_text.h"

namespace digital_id {

// The language of a locale name such as "fr_CA.UTF-8": French when it starts with "fr", else
// English.
Language LanguageOfLocale(std::string_view locale);

// The language of the command line's own modes (status, removal, expiry reminder), which need no
// settings file: the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty decides, as
// for other command-line programs; when none is set, Windows uses the user's display language
// and other systems English.
Language ConsoleLanguage();

}  // namespace digital_id
