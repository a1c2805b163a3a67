#include "base/latin1_text.h"

namespace digital_id {

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (char16_t c : text) {
    narrow.push_back(static_cast<char>(static_cast<unsigned char>(c & 0xFF)));
  }
  return narrow;
}

std::u16string WidenLatin1(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) {
    wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  }
  return wide;
}

}  // namespace digital_id
