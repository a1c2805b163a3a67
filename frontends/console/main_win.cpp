// digital-id-enroll.exe: the command-line front end of the installer on Windows.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/utf8_text.h"
#include "frontends/console/console_program.h"
#include "platform/win/stores/identity_inventory.h"
#include "platform/win/wide_text.h"
#include "platform/win/win_platform.h"

namespace digital_id {
namespace {

// The Windows platform for the command line: its services and the identities of the system
// stores, read through CryptoAPI. The certificate manager exports and removes identities, and
// the system stores need no publication.
class WinConsolePlatform final : public ConsolePlatformOver<WinPlatform> {
 public:
  ConsoleIdentities Identities(bool machine) override {
    IdentityInventory inventory =
        ReadIdentityInventory(machine ? StoreLocation::LocalMachine : StoreLocation::CurrentUser);
    return {std::move(inventory.identities), std::move(inventory.error)};
  }
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
