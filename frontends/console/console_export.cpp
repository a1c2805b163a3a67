#include "frontends/console/console_export.h"

#include <iostream>
#include <utility>

#include "frontends/console/console_output.h"

namespace digital_id {

int RunConsoleExport(const ConsoleOptions& options, ConsolePlatform& platform) {
  if (!platform.ExportsPkcs12()) {
    PrintText(ConsoleStream::Errors,
              "digital-id-enroll: --export-pkcs12 is not available on this system (on Windows, "
              "the certificate manager exports the identity from the Personal store)\n");
    return 2;
  }
  // The passphrase never leaves buffers that are wiped when freed.
  SecretText line;
  if (!std::getline(std::cin, line)) {
    line.clear();
  }
  const SecretText passphrase{WithoutLineEnd(line)};
  if (passphrase.empty()) {
    PrintText(ConsoleStream::Errors,
              "digital-id-enroll: the passphrase is empty: give the passphrase that protects the "
              "PKCS #12 file on the first line of standard input\n");
    return 2;
  }
  const ConsoleExportResult result =
      platform.ExportPkcs12(options.machine, passphrase, *options.exportPkcs12);
  if (!result.written) {
    PrintText(ConsoleStream::Errors, "digital-id-enroll: nothing exported to " +
                                         *options.exportPkcs12 + ": " + result.error + "\n");
    return 1;
  }
  return 0;
}

}  // namespace digital_id
