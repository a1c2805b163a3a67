#pragma once

#include "frontends/console/console_options.h"
#include "frontends/console/console_platform.h"

namespace digital_id {

// Runs --status: prints each identity of the user's My (and of the machine's with --machine,
// where readable) as a block of text, or all of them as one JSON document with --json, in the
// language of the locale. Returns 0 when at least one identity is within its validity, else 1.
int RunConsoleStatus(const ConsoleOptions& options, ConsolePlatform& platform);

// Runs --remove: removes the identity with the serial number through the platform and prints
// its report on standard error. Returns 0 when it was removed, 1 when there is no such identity
// (or it could not be removed from its store), 2 when the platform removes nothing.
int RunConsoleRemove(const ConsoleOptions& options, ConsolePlatform& platform);

// Runs --check-expiry: when the user's newest identity ends within the notice period or has
// ended, sends one desktop notification that says when and that a new secure code is needed,
// or prints it on standard error when no notification can be shown. Always returns 0.
int RunConsoleExpiryCheck(const ConsoleOptions& options, ConsolePlatform& platform);

}  // namespace digital_id
