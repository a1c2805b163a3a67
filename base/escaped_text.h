#pragma once

#include <string>
#include <string_view>

namespace digital_id {

// The text with its control characters escaped, so that a name taken from a certificate or a
// path from the environment can neither start a line of its own nor send escape sequences to a
// terminal: C0 characters and DEL become \xNN, C1 characters (U+0080..U+009F, C2 80..C2 9F in
// UTF-8) become \u{NN}, and a backslash becomes \\, so that text cannot pass for one of these
// escapes.
std::string EscapeControlCharacters(std::string_view text);

}  // namespace digital_id
