#pragma once

#include <string>
#include <string_view>

namespace digital_id {

// Only where wchar_t is UTF-16 (Windows): the W functions take the core's text as it is.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text is UTF-16 only on Windows");

// The core's UTF-16 text as the wide text the W functions take.
inline std::wstring ToWide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

// Wide text from a W function as the core's UTF-16 text.
inline std::u16string FromWide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

}  // namespace digital_id
