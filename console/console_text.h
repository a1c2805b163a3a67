#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace digital_id {

// Decodes the UTF-8 of a command line, standard input or a file name into UTF-16; nullopt when
// the bytes are not well-formed UTF-8.
std::optional<std::u16string> DecodeUtf8(std::string_view utf8);

// Encodes UTF-16 as UTF-8 for the console's output; an unpaired surrogate becomes U+FFFD.
std::string EncodeUtf8(std::u16string_view utf16);

}  // namespace digital_id
