#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace digital_id::test_server {

// Base64 of bytes, with CR LF after every 64 characters (and none after the last line).
std::string EncodeBase64Lines(std::string_view bytes);

// Decodes Base64 that may be broken into lines by CR and LF; nothing when any other character
// appears, the padding is misplaced, or nothing remains.
std::optional<std::string> DecodeBase64Lines(std::string_view text);

}  // namespace digital_id::test_server
