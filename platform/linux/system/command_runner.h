#pragma once

#include <string>
#include <vector>

namespace digital_id {

// How a command ended.
struct CommandResult {
  int exitCode = -1;   // -1 when it could not start or ended by a signal
  std::string errors;  // the start of what it wrote to standard error
};

// Runs a program (found as FindProgram finds it) with the given words as its arguments, without a
// shell, its standard input and output on /dev/null and its standard error collected, and waits
// for it. A privileged run gives it the environment PATH=/usr/sbin:/usr/bin:/sbin:/bin alone.
CommandResult RunCommandWords(const std::vector<std::string>& words);

}  // namespace digital_id
