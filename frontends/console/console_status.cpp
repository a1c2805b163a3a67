#include "frontends/console/console_modes.h"

namespace digital_id {

int RunConsoleStatus(const ConsoleOptions& /*options*/, ConsolePlatform& /*platform*/) {
  return 1;
}

}  // namespace digital_id
