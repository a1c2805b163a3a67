#include "frontends/console/console_publication_lines.h"

#include <mutex>

#include "frontends/console/console_output.h"

namespace digital_id {

void PublicationLines::Add(const std::string& line) {
  std::lock_guard guard(lock_);
  lines_.push_back(line);
}

void PublicationLines::PrintToErrors() {
  std::lock_guard guard(lock_);
  for (const std::string& line : lines_) {
    PrintText(ConsoleStream::Errors, line + "\n");
  }
}

}  // namespace digital_id
