#pragma once

#include <iostream>
#include <optional>
#include <string>

#include "base/secret_text.h"
#include "core/shell/app_state.h"
#include "frontends/console/console_enrollment.h"
#include "frontends/console/console_export.h"
#include "frontends/console/console_options.h"
#include "frontends/console/console_output.h"
#include "frontends/console/console_publication_lines.h"
#include "frontends/console/console_window_system.h"

namespace digital_id {

// The whole command-line program over a platform's services (LinuxPlatform, WinPlatform): the
// options, then either one enrollment of the secure code from the first line of standard input
// (followed on standard error by the publication report, where the platform publishes through a
// SetPublicationSink) or, with --export-pkcs12, an export through exportPkcs12 (empty where the
// platform has none); the exit code.
template <typename PlatformServices>
int RunConsoleProgram(int argc, const char* const* argv, const Pkcs12Exporter& exportPkcs12 = {}) {
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
  if (options->exportPkcs12) {
    return RunConsoleExport(*options, exportPkcs12);
  }
  SecretText line;  // the secure code: wiped when freed
  if (!std::getline(std::cin, line)) {
    line.clear();  // no line at all: an empty code, refused as the window refuses it
  }
  PublicationLines published;
  ConsoleWindowSystem windows;
  PlatformServices platform(windows);
  if constexpr (requires { platform.SetPublicationSink([](const std::string&) {}); }) {
    platform.SetPublicationSink([&published](const std::string& text) { published.Add(text); });
  }
  InstallPlatform(&platform.Services());
  std::u16string code = SecureCodeFromLine(line);
  const int exitCode = RunConsoleEnrollment(*options, code);
  WipeContainer(code);
  InstallPlatform(nullptr);
  published.PrintToErrors();
  return exitCode;
}

}  // namespace digital_id
