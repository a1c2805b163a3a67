#include "platform/linux/publish/identity_publisher.h"

#include "platform/linux/publish/identity_files.h"
#include "platform/linux/publish/nss_database.h"
#include "platform/linux/publish/nss_locations.h"
#include "platform/linux/publish/publication_paths.h"
#include "platform/linux/publish/system_trust.h"

namespace digital_id {

namespace {

const char* LocationName(StoreLocation location) {
  return location == StoreLocation::LocalMachine ? "machine" : "user";
}

PublicationOutcome Outcome(bool published) {
  return published ? PublicationOutcome::Published : PublicationOutcome::Failed;
}

}  // namespace

void IdentityPublisher::IdentityInstalled(StoreLocation location, IssuedIdentity identity) {
  try {
    if (!identity.certificate || !identity.key) {
      report_.Add(location,
                  {PublicationOutcome::Failed, LocationName(location) + std::string(" identity"),
                   "no certificate with its key found in My"});
      return;
    }
    CompleteChain(location, identity);
    const std::string name = CommonNameOf(identity.certificate.get());
    if (const auto folder = IdentityFolder(location)) {
      const IdentityFilesResult files = WriteIdentityFiles(location, *folder, identity);
      report_.Add(location, {Outcome(files.written), "identity files for " + name, files.detail});
    }
    KeepOnlyAuthenticatedRoot(location, identity);
    if (location == StoreLocation::LocalMachine) {
      PublishSystemTrust(identity);
    } else {
      PublishNssDatabases(identity);
    }
  } catch (...) {
    report_.Add(location, {PublicationOutcome::Failed, "publication stopped (out of memory)", ""});
  }
}

void IdentityPublisher::KeepOnlyAuthenticatedRoot(StoreLocation location,
                                                  IssuedIdentity& identity) {
  // The stores may hold several copies of a root (an outdated download among them); the one that
  // counts is the very certificate the server's chain was verified against.
  const Bytes server = anchor_.Get();
  const unsigned char* cursor = server.data();
  X509Ptr serverRoot(server.empty() ? nullptr
                                    : d2i_X509(nullptr, &cursor, static_cast<long>(server.size())));
  if (serverRoot && AnchoredBy(identity, serverRoot.get())) {
    identity.root = std::move(serverRoot);
    return;
  }
  const std::string name =
      identity.root ? CommonNameOf(identity.root.get()) : std::string("the identity's root");
  report_.Add(location, {PublicationOutcome::Skipped, "trust for " + name,
                         "it is not the root that authenticated the issuing server"});
  identity.root.reset();
}

void IdentityPublisher::PublishSystemTrust(const IssuedIdentity& identity) {
  constexpr StoreLocation location = StoreLocation::LocalMachine;
  if (!identity.root) {
    return;
  }
  const SystemTrustResult result = AddToSystemTrust(identity.root.get());
  report_.Add(
      location,
      {result.outcome, "system trust for " + CommonNameOf(identity.root.get()) + " (machine Root)",
       result.detail});
}

void IdentityPublisher::PublishNssDatabases(const IssuedIdentity& identity) {
  constexpr StoreLocation location = StoreLocation::CurrentUser;
  const auto home = NssHome();
  if (!home) {
    report_.Add(location, {PublicationOutcome::Skipped, "NSS databases",
                           "no home folder holds the user's stores"});
    return;
  }
  for (const NssLocation& database : FindNssLocations(*home)) {
    const std::string target = database.label + " " + database.folder.string();
    if (database.skipReason) {
      report_.Add(location, {PublicationOutcome::Skipped, target, *database.skipReason});
      continue;
    }
    const NssPublication publication = PublishToNssDatabase(database.folder, identity);
    report_.Add(location, {Outcome(publication.published), target, publication.detail});
    if (publication.keptDistrust) {
      report_.Add(location, {PublicationOutcome::Skipped, target, *publication.keptDistrust});
    }
  }
}

}  // namespace digital_id
