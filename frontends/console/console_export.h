#pragma once

#include "frontends/console/console_options.h"
#include "frontends/console/console_platform.h"

namespace digital_id {

// Runs --export-pkcs12: reads the passphrase from the first line of standard input (its line end
// is not part of it; every copy of it is wiped) and exports through the platform. Returns the
// exit code: 0 when the file was written, 1 when there was no identity or the export failed, 2
// when the platform has no export or the passphrase is empty; every failure gets one line on
// standard error. Nothing is enrolled.
int RunConsoleExport(const ConsoleOptions& options, ConsolePlatform& platform);

}  // namespace digital_id
