#include "event_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace digital_id::test_server {

namespace {

void WriteWhole(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a log that cannot be written must not stop the server
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

bool EventLog::OpenEventsFile(const std::string& path, std::string& error) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!fd.Valid()) {
    error = "cannot open events file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::lock_guard lock(mutex_);
  eventsFile_ = std::move(fd);
  return true;
}

void EventLog::Note(const std::string& line) {
  std::lock_guard lock(mutex_);
  WriteWhole(STDERR_FILENO, "test-server: " + line + "\n");
}

void EventLog::Event(const std::string& line) {
  std::lock_guard lock(mutex_);
  WriteWhole(STDERR_FILENO, "test-server: " + line + "\n");
  if (eventsFile_.Valid()) WriteWhole(eventsFile_.Get(), line + "\n");
}

}  // namespace digital_id::test_server
