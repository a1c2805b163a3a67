#include "platform/linux/publish/publication_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <utility>

#include "platform/linux/publish/publication_paths.h"
#include "platform/linux/system/file_descriptor.h"
#include "platform/lock.h"

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

void PublicationReport::Add(StoreLocation location, PublicationResult result) {
  const std::string line = PublicationLine(result);
  const std::lock_guard<Lock> guard(lock_);
  results_.push_back(std::move(result));
  AppendToLog(location, line);
}

std::vector<PublicationResult> PublicationReport::Results() const {
  const std::lock_guard<Lock> guard(lock_);
  return results_;
}

}  // namespace digital_id
