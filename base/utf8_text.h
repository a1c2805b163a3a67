#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace digital_id {

// Decodes UTF-8 into UTF-16; nullopt when the bytes are not well-formed UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);

// Decodes UTF-8 into UTF-16; text that is not well-formed UTF-8 is taken one byte per character
// (Latin-1), as an 8-bit text of the system is.
std::u16string Utf8OrLatin1ToUtf16(std::string_view text);

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Appends one code point to UTF-16 text (a surrogate pair above U+FFFF).
void AppendCodePoint(std::u16string& text, char32_t codePoint);

}  // namespace digital_id
