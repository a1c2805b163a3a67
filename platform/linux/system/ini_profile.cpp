#include "platform/linux/system/ini_profile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>

#include "base/utf8_text.h"
#include "platform/linux/system/fold_case.h"
#include "platform/linux/system/privileged_run.h"

namespace digital_id {

namespace {

// Bytes read from the file at a time.
constexpr std::size_t kChunkBytes = 64 * 1024;
// Code units kept of one line; the rest of a longer line is dropped (no setting comes near).
constexpr std::size_t kMaxLineUnits = 64 * 1024;

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
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

// What one line of INI text is.
struct IniLine {
  enum class Kind { Ignored, Section, Entry } kind = Kind::Ignored;
  std::u16string_view name;   // the section name or the key
  std::u16string_view value;  // the entry's value, trimmed and unquoted
};

IniLine ParseLine(std::u16string_view raw) {
  const std::u16string_view line = Trim(raw);
  if (line.empty() || line.front() == u';' || line.front() == u'#') {
    return {};
  }
  if (line.front() == u'[') {
    if (const std::size_t close = line.find(u']'); close != std::u16string_view::npos) {
      return {IniLine::Kind::Section, Trim(line.substr(1, close - 1)), {}};
    }
  }
  const std::size_t equals = line.find(u'=');
  if (equals == std::u16string_view::npos) {
    return {};
  }
  return {IniLine::Kind::Entry, Trim(line.substr(0, equals)),
          Unquote(Trim(line.substr(equals + 1)))};
}

// Looks for one key of one section line by line: only the first section of the name counts.
class ValueSearch {
 public:
  ValueSearch(const std::u16string& section, const std::u16string& key)
      : section_(FoldCase(section)), key_(FoldCase(key)) {}

  // Takes the next line; true once the search is over (found, or the section has ended).
  bool Feed(std::u16string_view raw) {
    const IniLine line = ParseLine(raw);
    if (line.kind == IniLine::Kind::Section) {
      if (inSection_) {
        return true;
      }
      inSection_ = FoldCase(std::u16string(line.name)) == section_;
      return false;
    }
    if (inSection_ && line.kind == IniLine::Kind::Entry &&
        FoldCase(std::u16string(line.name)) == key_) {
      value_ = std::u16string(line.value);
      return true;
    }
    return false;
  }
  // The value found; empty when none was.
  const std::u16string& Value() const { return value_; }

 private:
  std::u16string section_;
  std::u16string key_;
  bool inSection_ = false;
  std::u16string value_;
};

// Calls take(line) for each line of text (ends CR, LF or CR LF) until it answers true.
template <typename Take>
void ForEachLine(std::u16string_view text, Take take) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) {
      end = text.size();
    }
    if (take(text.substr(start, end - start))) {
      return;
    }
    start = end + (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);
  }
}

std::u16string Utf16Units(std::string_view bytes, bool bigEndian) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text.push_back(
        static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
  }
  return text;
}

// Splits a byte stream into decoded lines, chunk by chunk.
class StreamLines {
 public:
  explicit StreamLines(std::istream& in) : in_(in) {}

  // The next line without its end; nullopt after the last one.
  std::optional<std::u16string> Next() {
    for (;;) {
      if (auto line = TakeLine()) {
        return line;
      }
      if (!Refill()) {
        if (finished_) {
          return std::nullopt;
        }
        finished_ = true;
        std::u16string rest = pending_.substr(start_);
        pending_.clear();
        start_ = 0;
        return Decoded(std::move(rest));
      }
    }
  }

 private:
  enum class Encoding { Unknown, Utf8, Utf16Le, Utf16Be };

  // Reads the next chunk into pending_ as code units; false at the end of the stream.
  bool Refill() {
    if (!in_) {
      return false;
    }
    std::string chunk(kChunkBytes, '\0');
    in_.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    chunk.resize(static_cast<std::size_t>(in_.gcount()));
    if (chunk.empty()) {
      return false;
    }
    if (encoding_ == Encoding::Unknown) {
      chunk.erase(0, DetectEncoding(chunk));
    }
    // Lines already taken leave the buffer only now, once per chunk.
    pending_.erase(0, start_);
    start_ = 0;
    if (encoding_ == Encoding::Utf8) {
      // Line ends are ASCII bytes, never part of a UTF-8 sequence: split first, decode per line.
      pending_.append(chunk.begin(), chunk.end());
    } else {
      carry_ += chunk;
      const std::size_t whole = carry_.size() - carry_.size() % 2;
      pending_ +=
          Utf16Units(std::string_view(carry_).substr(0, whole), encoding_ == Encoding::Utf16Be);
      carry_.erase(0, whole);
    }
    return true;
  }

  // Chooses the encoding by the byte-order mark at the start of the first chunk; the number of
  // bytes of that mark.
  std::size_t DetectEncoding(std::string_view chunk) {
    if (chunk.starts_with("\xFF\xFE")) {
      encoding_ = Encoding::Utf16Le;
      return 2;
    }
    if (chunk.starts_with("\xFE\xFF")) {
      encoding_ = Encoding::Utf16Be;
      return 2;
    }
    encoding_ = Encoding::Utf8;
    return chunk.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  }

  // The first complete line of pending_, when one has ended.
  std::optional<std::u16string> TakeLine() {
    if (skipLineFeed_ && start_ < pending_.size()) {
      if (pending_[start_] == u'\n') {
        ++start_;
      }
      skipLineFeed_ = false;
    }
    const std::size_t end = pending_.find_first_of(u"\r\n", start_);
    if (end == std::u16string::npos) {
      // Keep only the start of an overlong line.
      if (pending_.size() - start_ > kMaxLineUnits) {
        pending_.erase(0, start_);
        start_ = 0;
        pending_.resize(kMaxLineUnits);
      }
      return std::nullopt;
    }
    std::u16string line = pending_.substr(start_, std::min(end - start_, kMaxLineUnits));
    skipLineFeed_ = pending_[end] == u'\r';
    start_ = end + 1;
    return Decoded(std::move(line));
  }

  // A line's code units decoded: UTF-8 lines were kept as bytes.
  std::u16string Decoded(std::u16string units) const {
    if (encoding_ != Encoding::Utf8) {
      return units;
    }
    std::string bytes(units.begin(), units.end());
    return Utf8OrLatin1ToUtf16(bytes);
  }

  std::istream& in_;
  Encoding encoding_ = Encoding::Unknown;
  std::u16string pending_;  // code units (bytes, for UTF-8) read so far
  std::size_t start_ = 0;   // where the first line not yet taken starts in pending_
  std::string carry_;       // an odd byte of UTF-16 waiting for its pair
  bool skipLineFeed_ = false;
  bool finished_ = false;
};

}  // namespace

std::u16string DecodeIniText(const std::string& bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    return Utf16Units(std::string_view(bytes).substr(2), false);
  }
  if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
    return Utf16Units(std::string_view(bytes).substr(2), true);
  }
  std::string_view body(bytes);
  if (body.starts_with("\xEF\xBB\xBF")) {
    body.remove_prefix(3);
  }
  return Utf8OrLatin1ToUtf16(body);
}

std::u16string FindIniValue(const std::u16string& text, const std::u16string& section,
                            const std::u16string& key) {
  ValueSearch search(section, key);
  ForEachLine(text, [&](std::u16string_view line) { return search.Feed(line); });
  return search.Value();
}

std::u16string FindIniValueInStream(std::istream& in, const std::u16string& section,
                                    const std::u16string& key) {
  ValueSearch search(section, key);
  StreamLines lines(in);
  while (auto line = lines.Next()) {
    if (search.Feed(*line)) {
      break;
    }
  }
  return search.Value();
}

const std::u16string* IniSection::Find(const std::u16string& key) const {
  const std::u16string wanted = FoldCase(key);
  for (const auto& [name, value] : entries) {
    if (FoldCase(name) == wanted) {
      return &value;
    }
  }
  return nullptr;
}

std::vector<IniSection> ReadIniSections(const std::u16string& text) {
  std::vector<IniSection> sections;
  ForEachLine(text, [&](std::u16string_view raw) {
    const IniLine line = ParseLine(raw);
    if (line.kind == IniLine::Kind::Section) {
      sections.push_back({std::u16string(line.name), {}});
    } else if (line.kind == IniLine::Kind::Entry && !sections.empty()) {
      sections.back().entries.emplace_back(line.name, line.value);
    }
    return false;
  });
  return sections;
}

std::u16string IniProfile::ReadString(const std::u16string& section, const std::u16string& key,
                                      std::size_t bufferChars, const std::u16string& path) {
  try {
    if (bufferChars == 0 || path.empty()) {
      return {};
    }
    // Only a regular file has an end: a device or a pipe reads as a missing file.
    const std::filesystem::path filePath(Utf16ToUtf8(path));
    std::error_code error;
    if (!std::filesystem::is_regular_file(filePath, error)) {
      return {};
    }
    // A privileged run takes no setting from a file that another user could have written: the
    // addresses and names in it decide what gets installed and trusted.
    if (RunningPrivileged()) {
      if (const auto reason = UntrustedSettingsFileReason(filePath)) {
        NoticeOnce("settings file " + filePath.string() + " ignored: " + *reason);
        return {};
      }
    }
    std::ifstream file(filePath, std::ios::binary);
    if (!file) {
      return {};
    }
    std::u16string value = FindIniValueInStream(file, section, key);
    if (value.size() > bufferChars - 1) {
      value.resize(bufferChars - 1);
    }
    return value;
  } catch (...) {
    return {};
  }
}

}  // namespace digital_id
