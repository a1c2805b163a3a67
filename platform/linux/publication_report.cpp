#include "platform/linux/publication_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string_view>

#include "platform/linux/file_descriptor.h"
#include "platform/linux/publication_paths.h"

namespace digital_id {

namespace {

// The current UTC time as "2024-05-01T12:34:56Z".
std::string TimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  char text[32] = {};
  if (::gmtime_r(&now, &parts) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) {
    return "-";
  }
  return text;
}

// The line with its control characters escaped, so that a name taken from a certificate can
// neither start a log entry of its own nor send escape sequences to a terminal: C0 characters and
// DEL become \xNN, C1 characters (U+0080..U+009F, C2 80..C2 9F in UTF-8) become \u{NN}, and a
// backslash becomes \\, so that text in a name cannot pass for one of these escapes.
std::string Escaped(std::string_view line) {
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

// Appends one line to the location's log in one write; a log that cannot be written is
// skipped (the report still reaches the sink).
void AppendToLog(StoreLocation location, const std::string& line) {
  const auto file = PublicationLogFile(location);
  std::error_code error;
  if (!file || !std::filesystem::is_directory(file->parent_path(), error)) {
    return;
  }
  FileDescriptor fd(
      ::open(file->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.Valid()) {
    return;
  }
  const std::string text = TimeStamp() + " " + line + "\n";
  const ssize_t written = ::write(fd.Get(), text.data(), text.size());
  static_cast<void>(written);
}

}  // namespace

void PublicationReport::SetSink(PublicationSink sink) {
  const std::lock_guard<std::mutex> guard(mutex_);
  sink_ = std::move(sink);
}

void PublicationReport::Add(StoreLocation location, const std::string& line) {
  const std::string escaped = Escaped(line);
  PublicationSink sink;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    lines_.push_back(escaped);
    AppendToLog(location, escaped);
    sink = sink_;
  }
  if (sink) {
    sink(escaped);
  }
}

std::vector<std::string> PublicationReport::Lines() const {
  const std::lock_guard<std::mutex> guard(mutex_);
  return lines_;
}

}  // namespace digital_id
