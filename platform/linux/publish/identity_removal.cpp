#include "platform/linux/publish/identity_removal.h"

#include <filesystem>
#include <memory>

#include "platform/linux/publish/identity_files.h"
#include "platform/linux/publish/identity_inventory.h"
#include "platform/linux/publish/nss_entries.h"
#include "platform/linux/publish/nss_locations.h"
#include "platform/linux/publish/publication_paths.h"
#include "platform/linux/publish/publication_report.h"
#include "platform/linux/stores/file_cert_store.h"
#include "platform/linux/stores/issued_identity.h"
#include "platform/linux/stores/store_paths.h"

namespace digital_id {

namespace {

// The certificates of My whose serial number is serial.
std::vector<std::unique_ptr<StoredCertificate>> Matching(const FileCertStore& store,
                                                         const std::string& serial) {
  std::vector<std::unique_ptr<StoredCertificate>> matches;
  for (auto& certificate : store.Certificates()) {
    if (CertificateSerialText(certificate->Native()) == serial) {
      matches.push_back(std::move(certificate));
    }
  }
  return matches;
}

// The name of an identity in the report: its common name and serial number.
std::string NameOf(X509* certificate, const std::string& serial) {
  const std::string name = CommonNameOf(certificate);
  return (name.empty() ? std::string("identity") : name) + " (serial " + serial + ")";
}

void RemoveFromNssDatabases(const std::vector<X509*>& certificates, const std::string& name,
                            PublicationReport& report) {
  constexpr StoreLocation location = StoreLocation::CurrentUser;
  const auto home = NssHome();
  if (!home) {
    return;  // the user's stores are not below the home: its databases were never written
  }
  for (const NssLocation& database : FindNssLocations(*home)) {
    const std::string target = name + " from " + database.label + " " + database.folder.string();
    if (database.skipReason) {
      report.Add(location, {PublicationOutcome::Skipped, target, *database.skipReason});
      continue;
    }
    const NssRemoval removal = RemoveFromNssDatabase(database.folder, certificates);
    if (removal.failed) {
      report.Add(location, {PublicationOutcome::Failed, target, removal.detail});
    } else if (removal.removed > 0) {
      report.Add(location, {PublicationOutcome::Removed, target, removal.detail});
    }
  }
}

}  // namespace

IdentityRemoval RemoveIdentityBySerial(StoreLocation location, const std::string& serial) {
  IdentityRemoval outcome;
  PublicationReport report;
  const auto root = StoresRoot(location);
  std::error_code error;
  if (!root || !std::filesystem::is_directory(*root / "My", error)) {
    return outcome;
  }
  // Looked up read-only first, so that asking for an unknown serial changes nothing.
  const std::filesystem::path my = *root / "My";
  const auto matches = Matching(FileCertStore{StoreFolder(my)}, serial);
  if (matches.empty()) {
    return outcome;
  }
  outcome.found = true;
  const std::string name = NameOf(matches.front()->Native(), serial);
  auto store = FileCertStore::Open(location, u"My");
  if (!store) {
    report.Add(location, {PublicationOutcome::Failed, name + " from My " + my.string(),
                          "cannot open the store for writing (locked, or not yours to change)"});
    outcome.results = report.Results();
    return outcome;
  }
  std::vector<std::string> stems;
  std::vector<X509*> certificates;
  bool allRemoved = true;
  for (const auto& match : matches) {
    const bool removed = store->RemoveEntry(match->Stem());
    report.Add(location, {removed ? PublicationOutcome::Removed : PublicationOutcome::Failed,
                          name + " from My",
                          (my / match->Stem()).string() + (removed ? "" : ": cannot remove")});
    if (removed) {
      stems.push_back(match->Stem());
      certificates.push_back(match->Native());
    }
    allRemoved = allRemoved && removed;
  }
  outcome.removed = allRemoved;
  if (!stems.empty()) {
    if (const auto folder = IdentityFolder(location)) {
      std::vector<std::string> remaining;
      for (const auto& left : store->Certificates()) {
        remaining.push_back(left->Stem());
      }
      const IdentityFilesResult files = RemoveIdentityFiles(*folder, stems, remaining);
      if (!files.detail.empty()) {
        report.Add(location,
                   {files.written ? PublicationOutcome::Removed : PublicationOutcome::Failed,
                    "identity files of " + name, files.detail});
      }
    }
    if (location == StoreLocation::CurrentUser) {
      RemoveFromNssDatabases(certificates, name, report);
    }
  }
  outcome.results = report.Results();
  return outcome;
}

}  // namespace digital_id
