#include "frontends/console/console_modes.h"

namespace digital_id {

int RunConsoleExpiryCheck(const ConsoleOptions& /*options*/, ConsolePlatform& /*platform*/) {
  return 0;
}

}  // namespace digital_id
