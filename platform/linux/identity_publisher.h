#pragma once

#include <string>

#include "platform/linux/publication_hooks.h"
#include "platform/linux/publication_report.h"

namespace digital_id {

// Makes what the stores hold usable by other programs, as the system stores of Windows are:
// - an identity installed for the current user goes to the identity files under
//   ~/.local/share/digital-id/identity/ (see identity_files.h), to the shared NSS database
//   ~/.pki/nssdb and to every Firefox profile (see nss_locations.h, nss_database.h);
// - an identity installed for the machine goes to the identity files of the machine
//   (/var/lib/digital-id/identity/, root's alone);
// - an anchor added to the machine's CA or Root store goes to the system's trust
//   (see system_trust.h).
// Every target gets one line in the report; a target that fails or is skipped never stops the
// others, and nothing here changes the result of the installation that triggered it.
class IdentityPublisher : public PublicationHooks {
 public:
  // Publishes the newest identity of My at the location.
  void IdentityInstalled(StoreLocation location) override;
  // Publishes a machine anchor to the system's trust; nothing for the current user.
  void AnchorAdded(StoreLocation location, const std::string& store,
                   const Certificate& certificate) override;

  // The report of everything published so far.
  PublicationReport& Report() { return report_; }

 private:
  PublicationReport report_;
};

}  // namespace digital_id
