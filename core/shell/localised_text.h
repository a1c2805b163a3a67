#pragma once

#include <string>
#include <string_view>

namespace digital_id {

// The language of the texts a step shows.
enum class Language { English, French };

// One text in its English and its French form.
struct TextPair {
  std::u16string_view english;
  std::u16string_view french;
};

// The form of a text pair in a language.
constexpr std::u16string_view Pick(const TextPair& text, Language language) {
  return language == Language::French ? text.french : text.english;
}

// The language rule: exactly "FR" (case-sensitive, whole value) selects French.
Language LanguageFromSetting(std::u16string_view value);

// Reads Language from the settings file (buffer of 4 characters) and applies the language rule.
Language ReadLanguage();

}  // namespace digital_id
