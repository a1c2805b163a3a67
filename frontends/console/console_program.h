#pragma once

#include <iostream>
#include <optional>
#include <string>

#include "core/shell/app_state.h"
#include "frontends/console/console_enrollment.h"
#include "frontends/console/console_options.h"
#include "frontends/console/console_output.h"
#include "frontends/console/console_window_system.h"

namespace digital_id {

// The whole command-line program over a platform's services (LinuxPlatform, WinPlatform): the
// options, the secure code from the first line of standard input, one enrollment, the exit code.
template <typename PlatformServices>
int RunConsoleProgram(int argc, const char* const* argv) {
  std::string error;
  const std::optional<ConsoleOptions> options = ParseConsoleOptions(argc, argv, error);
  if (!options) {
    PrintText(ConsoleStream::Errors,
              "digital-id-enroll: " + error + "\n\n" + std::string(ConsoleUsage()));
    return 2;
  }
  if (options->help) {
    PrintText(ConsoleStream::Output, ConsoleUsage());
    return 0;
  }
  std::string line;
  if (!std::getline(std::cin, line)) {
    line.clear();  // no line at all: an empty code, refused as the window refuses it
  }
  ConsoleWindowSystem windows;
  PlatformServices platform(windows);
  InstallPlatform(&platform.Services());
  const int exitCode = RunConsoleEnrollment(*options, SecureCodeFromLine(line));
  InstallPlatform(nullptr);
  return exitCode;
}

}  // namespace digital_id
