#pragma once

// Runs digital-id-enroll as a child process for the end-to-end tests: one line on its standard
// input, arguments, extra environment, a working folder, and a hard bound on its run time.

#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"

namespace digital_id::end_to_end {

using test_support::FindLine;
using test_support::Joined;

// What one run of digital-id-enroll is given.
struct EnrollInvocation {
  std::string input;                   // the whole standard input (e.g. "CODE\n")
  std::vector<std::string> arguments;  // after the program name
  std::vector<std::pair<std::string, std::string>> environment;  // set on top of ours
  std::string workingFolder;                                     // the child's current folder
  std::vector<std::string> wrapper;  // a program (found in PATH) and its arguments that run
                                     // digital-id-enroll, e.g. strace; empty: run it directly
};

// What one run of digital-id-enroll gave.
struct EnrollOutcome {
  int exitCode = -1;               // -1 when it was killed, ended by a signal or not started
  std::vector<std::string> lines;  // standard output, one entry per line, line ends removed
  std::string errors;              // standard error
};

// Runs the program and waits for it; one that outlives the bound is killed (exit code -1).
EnrollOutcome RunEnroll(const EnrollInvocation& invocation);

// True when the lines hold first and, right after it, second.
bool HasAdjacentLines(const std::vector<std::string>& lines, const std::string& first,
                      const std::string& second);

}  // namespace digital_id::end_to_end
