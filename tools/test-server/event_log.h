#pragma once

#include <mutex>
#include <string>

#include "unique_fd.h"

namespace digital_id::test_server {

// The server's log: human-readable lines on standard error and, when an events file is open,
// one machine-readable line per event appended to it. Safe to share between threads.
class EventLog {
 public:
  // Opens (creating it if needed) the file that events are appended to; false with the reason in
  // error when it cannot be opened.
  bool OpenEventsFile(const std::string& path, std::string& error);
  // Writes a line to standard error only.
  void Note(const std::string& line);
  // Writes an event line to standard error and to the events file, each line in one write.
  void Event(const std::string& line);

 private:
  std::mutex mutex_;
  UniqueFd eventsFile_;
};

}  // namespace digital_id::test_server
