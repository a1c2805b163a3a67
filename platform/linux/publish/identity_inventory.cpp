#include "platform/linux/publish/identity_inventory.h"

#include <openssl/bn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "base/serial_text.h"
#include "platform/linux/publish/identity_files.h"
#include "platform/linux/publish/nss_entries.h"
#include "platform/linux/publish/nss_locations.h"
#include "platform/linux/publish/publication_paths.h"
#include "platform/linux/stores/file_cert_store.h"
#include "platform/linux/stores/store_paths.h"
#include "platform/linux/x509/enrollment_keys.h"

namespace digital_id {

namespace {

// A distinguished name as one line of UTF-8 text in the order of RFC 2253 ("CN=..., O=...").
std::string NameText(const X509_NAME* name) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || name == nullptr ||
      X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0) {
    return {};
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return length > 0 && data != nullptr ? std::string(data, static_cast<std::size_t>(length))
                                       : std::string();
}

// A certificate time as seconds since 1970-01-01 00:00 UTC.
std::int64_t UnixTime(const ASN1_TIME* time) {
  std::tm parts{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) {
    return 0;
  }
  return static_cast<std::int64_t>(::timegm(&parts));
}

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// Whether the key file beside a certificate is there and, when this user may read it, fits.
bool HasFittingKey(const StoreFolder& folder, const std::string& stem, X509* certificate) {
  const std::string name = stem + ".key";
  const std::vector<std::string> keys = folder.List(".key");
  if (!std::binary_search(keys.begin(), keys.end(), name)) {
    return false;
  }
  if (::access((folder.Path() / name).c_str(), R_OK) != 0) {
    return errno == EACCES;  // the machine's key, seen by a user
  }
  const auto pem = folder.ReadSecret(name);
  EvpPkeyPtr key = pem ? PrivateKeyFromPem(*pem) : nullptr;
  return key && X509_check_private_key(certificate, key.get()) == 1;
}

// The identity files published for an entry.
std::vector<std::string> PublishedFiles(StoreLocation location, const std::string& stem) {
  std::vector<std::string> files;
  const auto folder = IdentityFolder(location);
  if (!folder) {
    return files;
  }
  for (const char* name : {kCurrentCertificateName, kCurrentKeyName}) {
    if (Exists(*folder / stem / name)) {
      files.push_back((*folder / stem / name).string());
    }
  }
  std::error_code error;
  const std::filesystem::path current =
      std::filesystem::read_symlink(*folder / kCurrentFolderName, error);
  if (!error && current == stem) {
    for (const char* name : {kCurrentCertificateName, kCurrentKeyName}) {
      if (Exists(*folder / name)) {
        files.push_back((*folder / name).string());
      }
    }
  }
  return files;
}

// Adds to each entry the user's NSS databases that hold its certificate.
void AddNssDatabases(std::vector<InventoryEntry>& entries) {
  const auto home = NssHome();
  if (!home || entries.empty()) {
    return;
  }
  std::vector<X509*> certificates;
  for (const InventoryEntry& entry : entries) {
    certificates.push_back(entry.certificate.get());
  }
  for (const NssLocation& database : FindNssLocations(*home)) {
    if (database.skipReason && !database.inUse) {
      continue;
    }
    const auto held = NssDatabaseHolds(database.folder, certificates);
    for (std::size_t i = 0; held && i < entries.size(); ++i) {
      if ((*held)[i]) {
        entries[i].record.nssDatabases.push_back(database.folder.string());
      }
    }
  }
}

}  // namespace

std::string CertificateSerialText(X509* certificate) {
  const ASN1_INTEGER* serial =
      certificate != nullptr ? X509_get0_serialNumber(certificate) : nullptr;
  BignumPtr number(serial != nullptr ? ASN1_INTEGER_to_BN(serial, nullptr) : nullptr);
  if (!number) {
    return SerialText({});
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(BN_num_bytes(number.get())));
  BN_bn2bin(number.get(), bytes.data());
  return SerialText(bytes);
}

IdentityInventory ReadIdentityInventory(StoreLocation location) {
  IdentityInventory inventory;
  const auto root = StoresRoot(location);
  if (!root) {
    inventory.error = "no store folder (no home folder is known, or another user could change it)";
    return inventory;
  }
  const std::filesystem::path my = *root / "My";
  std::error_code error;
  if (!std::filesystem::is_directory(my, error)) {
    return inventory;  // nothing was ever installed
  }
  if (::access(my.c_str(), R_OK | X_OK) != 0) {
    inventory.error = "cannot read " + my.string() + ": " + std::strerror(errno);
    return inventory;
  }
  const FileCertStore personal{StoreFolder(my)};
  for (auto& stored : personal.Certificates()) {
    InventoryEntry entry;
    entry.stem = stored->Stem();
    X509* x509 = stored->Native();
    if (X509_up_ref(x509) != 1) {
      continue;
    }
    entry.certificate.reset(x509);
    IdentityRecord& record = entry.record;
    record.subject = NameText(X509_get_subject_name(x509));
    record.issuer = NameText(X509_get_issuer_name(x509));
    record.serial = CertificateSerialText(x509);
    record.notBefore = UnixTime(X509_get0_notBefore(x509));
    record.notAfter = UnixTime(X509_get0_notAfter(x509));
    record.hasPrivateKey = HasFittingKey(personal.Folder(), entry.stem, x509);
    record.publishedFiles = PublishedFiles(location, entry.stem);
    inventory.entries.push_back(std::move(entry));
  }
  if (location == StoreLocation::CurrentUser) {
    AddNssDatabases(inventory.entries);
  }
  return inventory;
}

}  // namespace digital_id
