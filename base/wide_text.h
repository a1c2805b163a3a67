#pragma once

#include <string>
#include <string_view>

namespace digital_id {

// The core's UTF-16 text as the wide text the W functions take (both are UTF-16 on Windows).
inline std::wstring ToWide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

// Wide text from a W function as the core's UTF-16 text.
inline std::u16string FromWide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

}  // namespace digital_id
