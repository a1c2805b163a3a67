#include <ctime>
#include <string>
#include <vector>

#include "frontends/console/console_language.h"
#include "frontends/console/console_modes.h"
#include "frontends/console/console_output.h"
#include "frontends/console/identity_status_text.h"

namespace digital_id {

int RunConsoleStatus(const ConsoleOptions& options, ConsolePlatform& platform) {
  std::vector<StatusContext> contexts;
  std::vector<bool> wanted = {false};
  if (options.machine) {
    wanted.push_back(true);
  }
  for (const bool machine : wanted) {
    ConsoleIdentities found = platform.Identities(machine);
    // A store that cannot be read is said and left out; the other context is still shown.
    if (!found.error.empty()) {
      PrintText(ConsoleStream::Errors, std::string("digital-id-enroll: cannot read the ") +
                                           (machine ? "machine" : "user") +
                                           "'s identities: " + found.error + "\n");
      continue;
    }
    contexts.push_back({machine, std::move(found.identities)});
  }
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  PrintText(ConsoleStream::Output,
            IdentityStatusText(contexts, now, ConsoleLanguage(), options.json));
  for (const StatusContext& context : contexts) {
    for (const IdentityRecord& identity : context.identities) {
      if (IsCurrentIdentity(identity, now)) {
        return 0;
      }
    }
  }
  return 1;
}

}  // namespace digital_id
