#pragma once

#include <string>
#include <string_view>

namespace digital_id {

// Keeps the low byte of every UTF-16 code unit: the text an 8-bit interface is given.
std::string Narrow(std::u16string_view text);

// Widens 8-bit text one byte per character (bytes above 0x7F become U+0080 to U+00FF).
std::u16string WidenLatin1(std::string_view text);

}  // namespace digital_id
