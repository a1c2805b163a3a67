// digital-id-enroll.exe: the command-line front end of the installer on Windows.
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "console/console_enrollment.h"
#include "console/console_options.h"
#include "console/console_window_system.h"
#include "platform/win/win_platform.h"
#include "shell/app_state.h"
#include "shell/utf8_text.h"

int wmain(int argc, wchar_t** argv) {
  using namespace digital_id;
  // The arguments as UTF-8, as the option parser reads them on every platform.
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    const std::wstring_view wide(argv[i]);
    arguments.push_back(Utf16ToUtf8(std::u16string(wide.begin(), wide.end())));
  }
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) {
    pointers.push_back(argument.c_str());
  }
  // The status and detail lines are printed as UTF-8.
  SetConsoleOutputCP(CP_UTF8);
  std::string error;
  const std::optional<ConsoleOptions> options = ParseConsoleOptions(argc, pointers.data(), error);
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
  WinPlatform platform(windows);
  ResetAppState(&platform.Services());
  const int exitCode = RunConsoleEnrollment(*options, SecureCodeFromLine(line), stderr);
  ResetAppState(nullptr);
  return exitCode;
}
