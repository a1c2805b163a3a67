#pragma once

#include <string_view>

namespace digital_id {

// True when every character of the code is an ASCII letter, digit or hyphen-minus: the answer of
// the pattern "^[A-Za-z0-9-]*$" (ECMAScript, case-sensitive) against the whole code, for codes of
// any length; each UTF-16 code unit is tested as one character.
bool IsValidSecureCode(std::u16string_view code);

}  // namespace digital_id
