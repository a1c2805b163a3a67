#include "base/serial_text.h"

#include <cctype>

namespace digital_id {

namespace {

// Drops leading zeros, keeping an even number of digits ("00" when nothing else is left).
std::string WithoutLeadingZeros(std::string digits) {
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    return "00";
  }
  digits.erase(0, first);
  if (digits.size() % 2 != 0) {
    digits.insert(digits.begin(), '0');
  }
  return digits;
}

}  // namespace

std::string SerialText(std::span<const std::uint8_t> bigEndian) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string digits;
  digits.reserve(bigEndian.size() * 2);
  for (const std::uint8_t byte : bigEndian) {
    digits.push_back(kDigits[byte >> 4]);
    digits.push_back(kDigits[byte & 0x0F]);
  }
  return WithoutLeadingZeros(std::move(digits));
}

std::optional<std::string> ParseSerialText(std::string_view typed) {
  std::string digits;
  for (const char c : typed) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isxdigit(byte) != 0) {
      digits.push_back(static_cast<char>(std::toupper(byte)));
    } else if (c != ' ' && c != ':' && c != '\t') {
      return std::nullopt;
    }
  }
  if (digits.empty()) {
    return std::nullopt;
  }
  return WithoutLeadingZeros(std::move(digits));
}

}  // namespace digital_id
