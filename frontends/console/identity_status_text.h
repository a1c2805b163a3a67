#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/shell/localised_text.h"
#include "platform/identity_record.h"

namespace digital_id {

// The identities of one context (the user's or the machine's My), as --status shows them.
struct StatusContext {
  bool machine = false;                    // true for the machine's store, false for the user's
  std::vector<IdentityRecord> identities;  // oldest first
};

// True when the identity is within its validity at now (notBefore <= now < notAfter); times in
// seconds since 1970-01-01 00:00 UTC.
bool IsCurrentIdentity(const IdentityRecord& identity, std::int64_t now);

// Whole days from now to the end of the identity's validity, rounded down: negative once it has
// ended.
std::int64_t DaysLeft(const IdentityRecord& identity, std::int64_t now);

// A time as "2026-12-09 10:00:00 UTC".
std::string UtcTimeText(std::int64_t seconds);

// A time as ISO 8601 in UTC, "2026-12-09T10:00:00Z".
std::string IsoUtcTimeText(std::int64_t seconds);

// What --status prints for the contexts at now: one block of labelled lines per identity in the
// language, or with json one JSON document holding every identity. The texts taken from
// certificates and paths are escaped: control characters never reach a terminal as they are,
// and the JSON document is well-formed whatever they hold.
std::string IdentityStatusText(const std::vector<StatusContext>& contexts, std::int64_t now,
                               Language language, bool json);

}  // namespace digital_id
