#include "base/escaped_text.h"

namespace digital_id {

std::string EscapeControlCharacters(std::string_view line) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto hex = [](std::string& out, unsigned char value) {
    out += kHex[value >> 4];
    out += kHex[value & 0x0F];
  };
  std::string escaped;
  escaped.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    const unsigned char next = i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1])
                                                   : static_cast<unsigned char>(0);
    if (byte < 0x20 || byte == 0x7F) {
      escaped += "\\x";
      hex(escaped, byte);
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      escaped += "\\u{";
      hex(escaped, next);
      escaped += '}';
      ++i;
    } else if (byte == '\\') {
      escaped += "\\\\";
    } else {
      escaped += line[i];
    }
  }
  return escaped;
}

}  // namespace digital_id
