#include "core/enrollment/secure_code.h"

#include <algorithm>

namespace digital_id {

namespace {

// One character of the class [A-Za-z0-9-], compared by code unit value as ECMAScript does.
bool IsCodeCharacter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
         c == u'-';
}

}  // namespace

bool IsValidSecureCode(std::u16string_view code) {
  // The same answer as matching "^[A-Za-z0-9-]*$" against the whole code, without a regular
  // expression engine: the standard library's recursive matcher exhausts the stack on codes of
  // some ten thousand characters.
  return std::all_of(code.begin(), code.end(), IsCodeCharacter);
}

}  // namespace digital_id
