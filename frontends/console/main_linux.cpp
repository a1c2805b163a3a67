// digital-id-enroll: the command-line front end of the installer on Linux.
#include <string>
#include <utility>
#include <vector>

#include "frontends/console/console_program.h"
#include "platform/linux/desktop/desktop_notification.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/publish/identity_inventory.h"
#include "platform/linux/publish/identity_removal.h"
#include "platform/linux/publish/pkcs12_export.h"
#include "platform/linux/publish/publication_result.h"
#include "platform/linux/system/privileged_run.h"

namespace digital_id {
namespace {

// The Linux platform for the command line: its services, the PKCS #12 export of the newest
// identity of the file stores, the identities of My with what was published of them, their
// removal, desktop notifications on the session bus, and the lines of its publication report.
class LinuxConsolePlatform final : public ConsolePlatformOver<LinuxPlatform> {
 public:
  bool ExportsPkcs12() const override { return true; }
  ConsoleExportResult ExportPkcs12(bool machine, const SecretText& passphrase,
                                   const std::string& file) override {
    const Pkcs12Export exported = ExportNewestIdentityAsPkcs12(Location(machine), passphrase, file);
    return {exported.written, exported.error};
  }
  ConsoleIdentities Identities(bool machine) override {
    IdentityInventory inventory = ReadIdentityInventory(Location(machine));
    ConsoleIdentities identities;
    identities.error = std::move(inventory.error);
    for (InventoryEntry& entry : inventory.entries) {
      identities.identities.push_back(std::move(entry.record));
    }
    return identities;
  }
  bool RemovesIdentities() const override { return true; }
  ConsoleRemoval RemoveIdentity(bool machine, const std::string& serial) override {
    const IdentityRemoval removal = RemoveIdentityBySerial(Location(machine), serial);
    ConsoleRemoval result;
    result.found = removal.found;
    result.removed = removal.removed;
    for (const PublicationResult& line : removal.results) {
      result.report.push_back(PublicationLine(line));
    }
    return result;
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

 private:
  static StoreLocation Location(bool machine) {
    return machine ? StoreLocation::LocalMachine : StoreLocation::CurrentUser;
  }
};

}  // namespace
}  // namespace digital_id

int main(int argc, char** argv) {
  digital_id::DropUntrustedEnvironment();
  digital_id::LinuxConsolePlatform platform;
  return digital_id::RunConsoleProgram(argc, argv, platform);
}
