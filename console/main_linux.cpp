// digital-id-enroll: the command-line front end of the installer on Linux.
#include <cstdio>
#include <iostream>
#include <string>

#include "console/console_enrollment.h"
#include "console/console_options.h"
#include "console/console_window_system.h"
#include "platform/linux/linux_platform.h"
#include "shell/app_state.h"

int main(int argc, char** argv) {
  using namespace digital_id;
  std::string error;
  const std::optional<ConsoleOptions> options = ParseConsoleOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "digital-id-enroll: %s\n\n%s", error.c_str(), ConsoleUsage());
    return 2;
  }
  if (options->help) {
    std::fputs(ConsoleUsage(), stdout);
    return 0;
  }
  std::string line;
  if (!std::getline(std::cin, line)) {
    line.clear();  // no line at all: an empty code, refused as the window refuses it
  }
  ConsoleWindowSystem windows(stdout);
  LinuxPlatform platform(windows);
  ResetAppState(&platform.Services());
  const int exitCode = RunConsoleEnrollment(*options, SecureCodeFromLine(line), stderr);
  ResetAppState(nullptr);
  return exitCode;
}
