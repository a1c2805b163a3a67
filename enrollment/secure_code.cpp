#include "enrollment/secure_code.h"

#include <regex>
#include <string>

namespace digital_id {

bool IsValidSecureCode(std::u16string_view code) {
  const std::wregex pattern(L"^[A-Za-z0-9-]*$", std::regex::ECMAScript);
  // One wide character per UTF-16 code unit, so that nothing outside the pattern's ranges can
  // pass, whatever the size of wchar_t.
  std::wstring wide;
  wide.reserve(code.size());
  for (char16_t c : code) wide.push_back(static_cast<wchar_t>(c));
  return std::regex_match(wide, pattern);
}

}  // namespace digital_id
