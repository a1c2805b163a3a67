// digital-id-enroll: the command-line front end of the installer on Linux.
#include "frontends/console/console_program.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/publish/pkcs12_export.h"

int main(int argc, char** argv) {
  using namespace digital_id;
  // --export-pkcs12 writes the newest identity of the file stores with the backend's export.
  const Pkcs12Exporter exportPkcs12 = [](bool machine, const SecretText& passphrase,
                                         const std::string& file) {
    const Pkcs12Export exported = ExportNewestIdentityAsPkcs12(
        machine ? StoreLocation::LocalMachine : StoreLocation::CurrentUser, passphrase, file);
    return ConsoleExportResult{exported.written, exported.error};
  };
  return RunConsoleProgram<LinuxPlatform>(argc, argv, exportPkcs12);
}
