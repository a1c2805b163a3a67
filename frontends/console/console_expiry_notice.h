#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/shell/localised_text.h"
#include "platform/identity_record.h"

namespace digital_id {

// The reminder that a digital ID ends: a notification's summary and body (UTF-8, no markup).
struct ExpiryNotice {
  std::string summary;  // one short line: the ID expires soon, or has expired
  std::string body;     // when (date and time in UTC), and that a new secure code is needed
};

// The reminder for a user's identities at now (seconds since 1970-01-01 00:00 UTC): the newest
// identity that has begun (latest notBefore not after now) decides; when it ends within
// noticeDays days of now, or has ended, the reminder in language; nullopt when it ends later,
// or when no identity has begun.
std::optional<ExpiryNotice> ExpiryNoticeFor(const std::vector<IdentityRecord>& identities,
                                            std::int64_t now, int noticeDays, Language language);

// The line that says the same on standard error: the summary and the body, without line end.
std::string ExpiryNoticeLine(const ExpiryNotice& notice);

}  // namespace digital_id
