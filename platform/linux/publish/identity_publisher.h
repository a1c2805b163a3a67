#pragma once

#include <string>

#include "platform/linux/enrollment/publication_hooks.h"
#include "platform/linux/publish/publication_report.h"
#include "platform/linux/stores/issued_identity.h"
#include "platform/linux/tls/verified_server_anchor.h"

namespace digital_id {

// Makes what the stores hold usable by other programs, as the system stores of Windows are, once
// an identity has been installed:
// - a user's identity goes to the identity files under ~/.local/share/digital-id/identity/ (see
//   identity_files.h), to the shared NSS database ~/.pki/nssdb and to every Firefox and
//   Thunderbird profile (see nss_locations.h, nss_database.h);
// - a machine's identity goes to the identity files of the machine (/var/lib/digital-id/identity/,
//   root's alone).
// Trust goes only to the root that this run authenticated twice: the root that anchored the
// issuing server's chain in the handshake (VerifiedServerAnchor) and that the identity's chain
// reaches. It becomes trusted for servers in the user's NSS databases, or part of the system's
// trust for the machine (see system_trust.h). The issuing CA is only ever an intermediate, and a
// run that installed no identity publishes nothing at all.
// Every target gets one result in the report; a target that fails or is skipped never stops the
// others, and nothing here changes the result of the installation that triggered it.
class IdentityPublisher : public PublicationHooks {
 public:
  // Reads the root of the verified server chain from anchor, which must outlive this object.
  explicit IdentityPublisher(const VerifiedServerAnchor& anchor) : anchor_(anchor) {}

  // Publishes the identity just installed in My at the location, with its chain from the stores.
  void IdentityInstalled(StoreLocation location, IssuedIdentity installed) override;

  // The report of everything published so far.
  const PublicationReport& Report() const { return report_; }

 private:
  // Keeps identity.root only when it is the root that anchored the server; reports why not.
  void KeepOnlyAuthenticatedRoot(StoreLocation location, IssuedIdentity& identity);
  // Adds the machine identity's root to the system's trust.
  void PublishSystemTrust(const IssuedIdentity& identity);
  // Adds the user's identity to every NSS database of the user's home.
  void PublishNssDatabases(const IssuedIdentity& identity);

  const VerifiedServerAnchor& anchor_;
  PublicationReport report_;
};

}  // namespace digital_id
