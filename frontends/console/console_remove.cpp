#include <string>

#include "frontends/console/console_modes.h"
#include "frontends/console/console_output.h"

namespace digital_id {

int RunConsoleRemove(const ConsoleOptions& options, ConsolePlatform& platform) {
  if (!platform.RemovesIdentities()) {
    PrintText(ConsoleStream::Errors,
              "digital-id-enroll: --remove is not available on this system (on Windows, the "
              "certificate manager, certmgr.msc, removes the identity from the Personal store)\n");
    return 2;
  }
  const std::string& serial = *options.removeSerial;
  const ConsoleRemoval removal = platform.RemoveIdentity(options.machine, serial);
  for (const std::string& line : removal.report) {
    PrintText(ConsoleStream::Errors, line + "\n");
  }
  const std::string store = options.machine ? "the machine's store" : "the user's store";
  if (!removal.found) {
    PrintText(ConsoleStream::Errors, "digital-id-enroll: no identity with serial number " + serial +
                                         " in " + store + "\n");
    return 1;
  }
  if (!removal.removed) {
    PrintText(ConsoleStream::Errors, "digital-id-enroll: the identity with serial number " +
                                         serial + " could not be removed from " + store + "\n");
    return 1;
  }
  return 0;
}

}  // namespace digital_id
