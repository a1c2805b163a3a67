#include "base/utf8_text.h"

#include <cstddef>
#include <cstdint>

#include "base/latin1_text.h"

namespace digital_id {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Number of continuation bytes and the lowest code point allowed for a UTF-8 lead byte.
bool LeadByteInfo(unsigned char lead, int& continuation, char32_t& minimum, char32_t& value) {
  if (lead < 0x80) {
    continuation = 0;
    minimum = 0;
    value = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    continuation = 1;
    minimum = 0x80;
    value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    continuation = 2;
    minimum = 0x800;
    value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    continuation = 3;
    minimum = 0x10000;
    value = lead & 0x07;
  } else {
    return false;
  }
  return true;
}

}  // namespace

void AppendCodePoint(std::u16string& text, char32_t codePoint) {
  if (codePoint >= 0x10000 && codePoint <= 0x10FFFF) {
    const char32_t offset = codePoint - 0x10000;
    text.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
    text.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
  } else if (codePoint > 0x10FFFF) {
    text.push_back(static_cast<char16_t>(kReplacement));
  } else {
    text.push_back(static_cast<char16_t>(codePoint));
  }
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
  std::u16string result;
  result.reserve(utf8.size());
  std::size_t index = 0;
  while (index < utf8.size()) {
    int continuation = 0;
    char32_t minimum = 0;
    char32_t value = 0;
    if (!LeadByteInfo(static_cast<unsigned char>(utf8[index]), continuation, minimum, value) ||
        index + static_cast<std::size_t>(continuation) >= utf8.size()) {
      return std::nullopt;
    }
    for (int i = 1; i <= continuation; ++i) {
      const auto next = static_cast<unsigned char>(utf8[index + static_cast<std::size_t>(i)]);
      if ((next & 0xC0) != 0x80) {
        return std::nullopt;
      }
      value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
      return std::nullopt;
    }
    AppendCodePoint(result, value);
    index += static_cast<std::size_t>(continuation) + 1;
  }
  return result;
}

std::u16string Utf8OrLatin1ToUtf16(std::string_view text) {
  std::optional<std::u16string> decoded = Utf8ToUtf16(text);
  return decoded ? *std::move(decoded) : WidenLatin1(text);
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
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
