#include "platform/linux/identity_publisher.h"

#include "platform/linux/identity_files.h"
#include "platform/linux/nss_database.h"
#include "platform/linux/nss_locations.h"
#include "platform/linux/openssl_certificate.h"
#include "platform/linux/publication_paths.h"
#include "platform/linux/system_trust.h"

namespace digital_id {

namespace {

const char* LocationName(StoreLocation location) {
  return location == StoreLocation::LocalMachine ? "machine" : "user";
}

}  // namespace

void IdentityPublisher::IdentityInstalled(StoreLocation location) {
  try {
    const auto identity = NewestIdentity(location);
    if (!identity) {
      report_.Add(location, std::string("failed: ") + LocationName(location) +
                                " identity: no certificate with its key found in My");
      return;
    }
    const std::string name = CommonNameOf(identity->certificate.get());
    if (const auto folder = IdentityFolder(location)) {
      const IdentityFilesResult files = WriteIdentityFiles(location, *folder, *identity);
      report_.Add(location, std::string(files.written ? "published: " : "failed: ") +
                                "identity files for " + name + ": " + files.detail);
    }
    if (location != StoreLocation::CurrentUser) {
      return;
    }
    const auto home = NssHome();
    if (!home) {
      report_.Add(location, "skipped: NSS databases: no home folder holds the user's stores");
      return;
    }
    for (const NssLocation& database : FindNssLocations(*home)) {
      const std::string target = database.label + " " + database.folder.string();
      if (database.skipReason) {
        report_.Add(location, "skipped: " + target + ": " + *database.skipReason);
        continue;
      }
      const NssPublication publication = PublishToNssDatabase(database.folder, *identity);
      report_.Add(location, std::string(publication.published ? "published: " : "failed: ") +
                                target + ": " + publication.detail);
    }
  } catch (...) {
    report_.Add(location, "failed: publication stopped (out of memory)");
  }
}

void IdentityPublisher::AnchorAdded(StoreLocation location, const std::string& store,
                                    const Certificate& certificate) {
  if (location != StoreLocation::LocalMachine) {
    return;
  }
  try {
    const auto copy = OpenSslCertificate::FromCertificate(certificate);
    if (!copy) {
      report_.Add(location, "failed: system trust: the " + store + " certificate is unreadable");
      return;
    }
    const std::string target =
        "system trust for " + CommonNameOf(copy->Native()) + " (machine " + store + ")";
    const SystemTrustResult result = AddToSystemTrust(copy->Native());
    const char* verdict = result.outcome == SystemTrustResult::Outcome::Published ? "published: "
                          : result.outcome == SystemTrustResult::Outcome::Skipped ? "skipped: "
                                                                                  : "failed: ";
    report_.Add(location, verdict + target + ": " + result.detail);
  } catch (...) {
    report_.Add(location, "failed: system trust (out of memory)");
  }
}

}  // namespace digital_id
