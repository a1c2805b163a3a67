#include "console/console_text.h"

#include <cstddef>

namespace digital_id {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Continuation-byte count, lowest allowed code point and payload bits of a UTF-8 lead byte.
struct LeadByte {
  int continuation;
  char32_t minimum;
  char32_t value;
};

std::optional<LeadByte> ReadLeadByte(unsigned char lead) {
  if (lead < 0x80) return LeadByte{0, 0, lead};
  if ((lead & 0xE0) == 0xC0) return LeadByte{1, 0x80, static_cast<char32_t>(lead & 0x1F)};
  if ((lead & 0xF0) == 0xE0) return LeadByte{2, 0x800, static_cast<char32_t>(lead & 0x0F)};
  if ((lead & 0xF8) == 0xF0) return LeadByte{3, 0x10000, static_cast<char32_t>(lead & 0x07)};
  return std::nullopt;
}

void AppendUtf16(std::u16string& text, char32_t codePoint) {
  if (codePoint >= 0x10000) {
    const char32_t offset = codePoint - 0x10000;
    text.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
    text.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
  } else {
    text.push_back(static_cast<char16_t>(codePoint));
  }
}

}  // namespace

std::optional<std::u16string> DecodeUtf8(std::string_view utf8) {
  std::u16string result;
  result.reserve(utf8.size());
  std::size_t index = 0;
  while (index < utf8.size()) {
    const std::optional<LeadByte> lead = ReadLeadByte(static_cast<unsigned char>(utf8[index]));
    const auto continuation = static_cast<std::size_t>(lead ? lead->continuation : 0);
    if (!lead || continuation >= utf8.size() - index) {
      return std::nullopt;
    }
    char32_t value = lead->value;
    for (std::size_t i = 1; i <= continuation; ++i) {
      const auto next = static_cast<unsigned char>(utf8[index + i]);
      if ((next & 0xC0) != 0x80) {
        return std::nullopt;
      }
      value = (value << 6) | (next & 0x3F);
    }
    if (value < lead->minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
      return std::nullopt;
    }
    AppendUtf16(result, value);
    index += continuation + 1;
  }
  return result;
}

std::string EncodeUtf8(std::u16string_view utf16) {
  std::string result;
  result.reserve(utf16.size());
  for (std::size_t index = 0; index < utf16.size(); ++index) {
    char32_t value = utf16[index];
    if (value >= 0xD800 && value <= 0xDBFF && index + 1 < utf16.size() &&
        utf16[index + 1] >= 0xDC00 && utf16[index + 1] <= 0xDFFF) {
      value = 0x10000 + ((value - 0xD800) << 10) + (utf16[index + 1] - 0xDC00);
      ++index;
    } else if (value >= 0xD800 && value <= 0xDFFF) {
      value = kReplacement;
    }
    if (value < 0x80) {
      result.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
      result.push_back(static_cast<char>(0xC0 | (value >> 6)));
      result.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
      result.push_back(static_cast<char>(0xE0 | (value >> 12)));
      result.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
      result.push_back(static_cast<char>(0xF0 | (value >> 18)));
      result.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
  }
  return result;
}

}  // namespace digital_id
