#include "base64.h"

#include <openssl/evp.h>

#include <vector>

namespace digital_id::test_server {

namespace {

bool IsBase64Letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

}  // namespace

std::string EncodeBase64Lines(std::string_view bytes) {
  std::vector<unsigned char> plain(4 * ((bytes.size() + 2) / 3) + 1);
  const int length =
      EVP_EncodeBlock(plain.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<int>(bytes.size()));
  std::string text;
  for (int i = 0; i < length; ++i) {
    if (i > 0 && i % 64 == 0) text += "\r\n";
    text += static_cast<char>(plain[static_cast<std::size_t>(i)]);
  }
  return text;
}

std::optional<std::string> DecodeBase64Lines(std::string_view text) {
  std::string compact;
  std::size_t padding = 0;
  for (const char c : text) {
    if (c == '\r' || c == '\n') continue;
    if (c == '=') {
      ++padding;
    } else if (!IsBase64Letter(c) || padding > 0) {
      return std::nullopt;  // a foreign character, or data after the padding
    }
    compact += c;
  }
  if (compact.empty() || compact.size() % 4 != 0 || padding > 2) return std::nullopt;
  std::vector<unsigned char> bytes(compact.size() / 4 * 3 + 1);
  const int length =
      EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(compact.data()),
                      static_cast<int>(compact.size()));
  if (length < 0 || static_cast<std::size_t>(length) < padding) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(bytes.data()),
                     static_cast<std::size_t>(length) - padding);
}

}  // namespace digital_id::test_server
