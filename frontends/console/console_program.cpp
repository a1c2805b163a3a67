#include "frontends/console/console_program.h"

#include <iostream>
#include <optional>
#include <string>

#include "base/secret_text.h"
#include "core/shell/app_state.h"
#include "frontends/console/console_enrollment.h"
#include "frontends/console/console_export.h"
#include "frontends/console/console_modes.h"
#include "frontends/console/console_options.h"
#include "frontends/console/console_output.h"
#include "frontends/console/console_window_system.h"

namespace digital_id {

int RunConsoleProgram(int argc, const char* const* argv, ConsolePlatform& platform) {
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
    return RunConsoleExport(*options, platform);
  }
  if (options->status) {
    return RunConsoleStatus(*options, platform);
  }
  if (options->removeSerial) {
    return RunConsoleRemove(*options, platform);
  }
  if (options->checkExpiry) {
    return RunConsoleExpiryCheck(*options, platform);
  }
  SecretText line;  // the secure code: wiped when freed
  if (!std::getline(std::cin, line)) {
    line.clear();  // no line at all: an empty code, refused as the window refuses it
  }
  ConsoleWindowSystem windows;
  InstallPlatform(&platform.Start(windows));
  std::u16string code = SecureCodeFromLine(line);
  const int exitCode = RunConsoleEnrollment(*options, code);
  WipeContainer(code);
  InstallPlatform(nullptr);
  for (const std::string& published : platform.PublicationLines()) {
    PrintText(ConsoleStream::Errors, published + "\n");
  }
  platform.Stop();
  return exitCode;
}

}  // namespace digital_id
