// digital-id-enroll.exe: the command-line front end of the installer on Windows.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/utf8_text.h"
#include "base/wide_text.h"
#include "frontends/console/console_program.h"
#include "platform/win/win_platform.h"

namespace digital_id {
namespace {

// The Windows platform for the command line: its services only (the certificate manager exports
// identities, and the system stores need no publication).
class WinConsolePlatform final : public ConsolePlatform {
 public:
  Platform& Start(WindowSystem& windows) override { return platform_.emplace(windows).Services(); }
  void Stop() override { platform_.reset(); }

 private:
  std::optional<WinPlatform> platform_;
};

}  // namespace
}  // namespace digital_id

int wmain(int argc, wchar_t** argv) {
  using namespace digital_id;
  // The arguments as UTF-8, as the option parser reads them on every platform.
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    arguments.push_back(Utf16ToUtf8(FromWide(argv[i])));
  }
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) {
    pointers.push_back(argument.c_str());
  }
  WinConsolePlatform platform;
  return RunConsoleProgram(argc, pointers.data(), platform);
}
