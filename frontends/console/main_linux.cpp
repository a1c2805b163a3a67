// digital-id-enroll: the command-line front end of the installer on Linux.
#include <string>
#include <vector>

#include "frontends/console/console_program.h"
#include "platform/linux/desktop/desktop_notification.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/publish/pkcs12_export.h"
#include "platform/linux/publish/publication_result.h"

namespace digital_id {
namespace {

// The Linux platform for the command line: its services, the PKCS #12 export of the newest
// identity of the file stores, desktop notifications on the session bus, and the lines of its
// publication report.
class LinuxConsolePlatform final : public ConsolePlatformOver<LinuxPlatform> {
 public:
  bool ExportsPkcs12() const override { return true; }
  ConsoleExportResult ExportPkcs12(bool machine, const SecretText& passphrase,
                                   const std::string& file) override {
    const Pkcs12Export exported = ExportNewestIdentityAsPkcs12(
        machine ? StoreLocation::LocalMachine : StoreLocation::CurrentUser, passphrase, file);
    return {exported.written, exported.error};
  }
  bool Notify(const std::string& summary, const std::string& body) override {
    return ShowDesktopNotification(
        {"Orvan Digital ID Installer", "digital-id-installer", summary, body});
  }
  std::vector<std::string> PublicationLines() const override {
    std::vector<std::string> lines;
    if (services_) {
      for (const PublicationResult& result : services_->Publications()) {
        lines.push_back(PublicationLine(result));
      }
    }
    return lines;
  }
};

}  // namespace
}  // namespace digital_id

int main(int argc, char** argv) {
  digital_id::LinuxConsolePlatform platform;
  return digital_id::RunConsoleProgram(argc, argv, platform);
}
