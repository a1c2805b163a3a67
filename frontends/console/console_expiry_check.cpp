#include <cstdint>
#include <ctime>
#include <optional>

#include "frontends/console/console_expiry_notice.h"
#include "frontends/console/console_language.h"
#include "frontends/console/console_modes.h"
#include "frontends/console/console_output.h"

namespace digital_id {

// Runs at every login from the autostart entry: whatever happens, the exit status is 0, so that
// a session never shows a failure for a reminder.
int RunConsoleExpiryCheck(const ConsoleOptions& options, ConsolePlatform& platform) {
  const ConsoleIdentities identities = platform.Identities(false);
  if (!identities.error.empty()) {
    PrintText(
        ConsoleStream::Errors,
        "digital-id-enroll: cannot check when the digital ID expires: " + identities.error + "\n");
    return 0;
  }
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  const std::optional<ExpiryNotice> notice =
      ExpiryNoticeFor(identities.identities, now, options.expiryDays, ConsoleLanguage());
  if (notice && !platform.Notify(notice->summary, notice->body)) {
    PrintText(ConsoleStream::Errors, "digital-id-enroll: " + ExpiryNoticeLine(*notice) + "\n");
  }
  return 0;
}

}  // namespace digital_id
