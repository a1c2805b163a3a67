#pragma once

#include <functional>
#include <string>

#include "base/secret_text.h"
#include "frontends/console/console_options.h"

namespace digital_id {

// What exporting an identity came to.
struct ConsoleExportResult {
  bool written = false;
  std::string error;  // why nothing was written (one line); empty on success
};

// Writes the newest identity of a context (the machine's when machine is true, else the current
// user's) with its key and chain as a PKCS #12 file protected by passphrase (UTF-8, not empty).
// A platform's entry point supplies it; an empty function means the platform has no export.
using Pkcs12Exporter = std::function<ConsoleExportResult(bool machine, const SecretText& passphrase,
                                                         const std::string& file)>;

// Runs --export-pkcs12: reads the passphrase from the first line of standard input (its line end
// is not part of it; every copy of it is wiped) and exports through exporter. Returns the exit
// code: 0 when the file was written, 1 when there was no identity or the export failed, 2 when the
// platform has no export or the passphrase is empty; every failure gets one line on standard error.
// Nothing is enrolled.
int RunConsoleExport(const ConsoleOptions& options, const Pkcs12Exporter& exporter);

}  // namespace digital_id
