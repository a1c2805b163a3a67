// digital-id-enroll.exe: the command-line front end of the installer on Windows.
#include <windows.h>

#include <string>
#include <vector>

#include "console/console_program.h"
#include "platform/win/win_platform.h"
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
  return RunConsoleProgram<WinPlatform>(argc, pointers.data());
}
