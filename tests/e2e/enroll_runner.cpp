#include "tests/e2e/enroll_runner.h"

#include <chrono>

#ifndef ENROLL_PATH
#error "ENROLL_PATH must name the digital-id-enroll binary"
#endif

namespace digital_id::end_to_end {

namespace {

// Far beyond a working run (the client's own pause is 5 s); only a hang reaches it.
constexpr auto kRunBound = std::chrono::seconds(60);

}  // namespace

EnrollOutcome RunEnroll(const EnrollInvocation& invocation) {
  test_support::ChildCommand command;
  command.arguments = invocation.wrapper;
  command.arguments.push_back(ENROLL_PATH);
  command.arguments.insert(command.arguments.end(), invocation.arguments.begin(),
                           invocation.arguments.end());
  command.input = invocation.input;
  command.environment = invocation.environment;
  command.workingFolder = invocation.workingFolder;
  test_support::ChildResult result = test_support::RunChild(command, kRunBound);
  return EnrollOutcome{result.exitCode, std::move(result.lines), std::move(result.errors)};
}

bool HasAdjacentLines(const std::vector<std::string>& lines, const std::string& first,
                      const std::string& second) {
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i] == first && lines[i + 1] == second) return true;
  }
  return false;
}

}  // namespace digital_id::end_to_end
