#include "frontends/console/console_modes.h"

namespace digital_id {

int RunConsoleRemove(const ConsoleOptions& /*options*/, ConsolePlatform& /*platform*/) {
  return 2;
}

}  // namespace digital_id
