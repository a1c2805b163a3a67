#include "platform/linux/enrollment/base64_text.h"

#include <cstdint>

namespace digital_id {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineLength = 64;

// Value of a Base64 digit; -1 for any other character.
int DigitValue(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text without PEM header and footer lines.
std::string WithoutHeaderLines(std::string_view text) {
  std::string kept;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view line = text.substr(start, end - start);
    std::size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) {
      ++first;
    }
    if (line.substr(first).rfind("-----", 0) != 0) {
      kept.append(line);
      kept.push_back('\n');
    }
    start = end + 1;
  }
  return kept;
}

}  // namespace

std::string EncodeBase64Lines(const Bytes& bytes) {
  std::string plain;
  plain.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    const std::uint32_t group = (static_cast<std::uint32_t>(bytes[i]) << 16) |
                                (left > 1 ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0) |
                                (left > 2 ? static_cast<std::uint32_t>(bytes[i + 2]) : 0);
    plain.push_back(kAlphabet[(group >> 18) & 0x3F]);
    plain.push_back(kAlphabet[(group >> 12) & 0x3F]);
    plain.push_back(left > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=');
    plain.push_back(left > 2 ? kAlphabet[group & 0x3F] : '=');
  }
  std::string lines;
  lines.reserve(plain.size() + plain.size() / kLineLength * 2 + 2);
  for (std::size_t i = 0; i < plain.size(); i += kLineLength) {
    lines.append(plain, i, kLineLength);
    lines.append("\r\n");
  }
  return lines;
}

std::optional<Bytes> DecodeBase64Any(std::string_view text) {
  const std::string body = WithoutHeaderLines(text);
  Bytes out;
  std::uint32_t group = 0;
  int digits = 0;
  int padding = 0;
  for (const char c : body) {
    if (IsBlank(c)) {
      continue;
    }
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = DigitValue(c);
    // A digit after padding, or an unknown character, is not Base64.
    if (value < 0 || padding > 0) {
      return std::nullopt;
    }
    group = (group << 6) | static_cast<std::uint32_t>(value);
    if (++digits == 4) {
      out.push_back(static_cast<std::uint8_t>(group >> 16));
      out.push_back(static_cast<std::uint8_t>(group >> 8));
      out.push_back(static_cast<std::uint8_t>(group));
      group = 0;
      digits = 0;
    }
  }
  // The last group: 2 digits give one byte, 3 digits two; padding must complete it if present.
  if (digits == 1 || padding > 2 || (padding > 0 && digits + padding != 4)) {
    return std::nullopt;
  }
  if (digits == 2) {
    out.push_back(static_cast<std::uint8_t>(group >> 4));
  } else if (digits == 3) {
    out.push_back(static_cast<std::uint8_t>(group >> 10));
    out.push_back(static_cast<std::uint8_t>(group >> 2));
  }
  if (out.empty()) {
    return std::nullopt;
  }
  return out;
}

}  // namespace digital_id
