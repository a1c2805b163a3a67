#include "platform/linux/ini_profile.h"

#include <fstream>
#include <iterator>
#include <string_view>

#include "base/utf8_text.h"
#include "platform/linux/simple_name.h"

namespace digital_id {

namespace {

// Files larger than this are not settings files; reading them would only waste memory.
constexpr std::streamoff kMaxFileBytes = 4 * 1024 * 1024;

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::u16string_view Unquote(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::u16string Utf16Units(const std::string& bytes, std::size_t start, bool bigEndian) {
  std::u16string text;
  text.reserve((bytes.size() - start) / 2);
  for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text.push_back(
        static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
  }
  return text;
}

bool ReadFileBytes(const std::u16string& path, std::string& bytes) {
  std::ifstream file(Utf16ToUtf8(path), std::ios::binary | std::ios::ate);
  if (!file) {
    return false;
  }
  const std::streamoff size = file.tellg();
  if (size < 0 || size > kMaxFileBytes) {
    return false;
  }
  file.seekg(0);
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace

std::u16string DecodeIniText(const std::string& bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    return Utf16Units(bytes, 2, false);
  }
  if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
    return Utf16Units(bytes, 2, true);
  }
  std::string_view body(bytes);
  if (body.starts_with("\xEF\xBB\xBF")) {
    body.remove_prefix(3);
  }
  return Utf8OrLatin1ToUtf16(body);
}

std::u16string FindIniValue(const std::u16string& text, const std::u16string& section,
                            const std::u16string& key) {
  const std::u16string wantedSection = FoldCase(section);
  const std::u16string wantedKey = FoldCase(key);
  bool inSection = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) {
      end = text.size();
    }
    const std::u16string_view line = Trim(std::u16string_view(text).substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == u';' || line.front() == u'#') {
      continue;
    }
    if (line.front() == u'[') {
      const std::size_t close = line.find(u']');
      const std::u16string_view name =
          Trim(line.substr(1, close == std::u16string_view::npos ? line.size() - 1 : close - 1));
      inSection = FoldCase(std::u16string(name)) == wantedSection;
      continue;
    }
    const std::size_t equals = line.find(u'=');
    if (!inSection || equals == std::u16string_view::npos) {
      continue;
    }
    if (FoldCase(std::u16string(Trim(line.substr(0, equals)))) == wantedKey) {
      return std::u16string(Unquote(Trim(line.substr(equals + 1))));
    }
  }
  return {};
}

std::u16string IniProfile::ReadString(const std::u16string& section, const std::u16string& key,
                                      std::size_t bufferChars, const std::u16string& path) {
  try {
    std::string bytes;
    if (bufferChars == 0 || path.empty() || !ReadFileBytes(path, bytes)) {
      return {};
    }
    std::u16string value = FindIniValue(DecodeIniText(bytes), section, key);
    if (value.size() > bufferChars - 1) {
      value.resize(bufferChars - 1);
    }
    return value;
  } catch (...) {
    return {};
  }
}

}  // namespace digital_id
