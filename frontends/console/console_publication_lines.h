#pragma once

#include <string>
#include <vector>

#include "platform/lock.h"

namespace digital_id {

// The lines of a platform's publication report (what an enrollment made available to other
// programs, and what it left out), kept while the enrollment runs and printed after it.
class PublicationLines {
 public:
  // Keeps one line; safe from any thread.
  void Add(const std::string& line);
  // Prints every line kept, oldest first, each on its own line of standard error.
  void PrintToErrors();

 private:
  Lock lock_;
  std::vector<std::string> lines_;
};

}  // namespace digital_id
