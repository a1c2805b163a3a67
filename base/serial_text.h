#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace digital_id {

// The text of a certificate's serial number given by its big-endian bytes: upper-case
// hexadecimal, two digits per byte, without separators and without leading zero bytes ("00" for
// a serial of zero or of no bytes). Every platform prints serials this way.
std::string SerialText(std::span<const std::uint8_t> bigEndian);

// A serial number typed by a user, in the form SerialText gives: hexadecimal digits of either
// case, optionally separated by blanks or colons, with or without leading zeros; nullopt when
// the text holds anything else or no digit at all.
std::optional<std::string> ParseSerialText(std::string_view typed);

}  // namespace digital_id
