#include "platform/linux/stores/file_cert_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/linux/stores/store_paths.h"
#include "platform/linux/system/fold_case.h"
#include "platform/linux/x509/digest.h"
#include "platform/linux/x509/simple_name.h"

namespace digital_id {

namespace {

constexpr const char* kCertificateExtension = ".der";
constexpr const char* kKeyExtension = ".key";
constexpr const char* kPendingStore = "REQUEST";
// Bytes of the SHA-1 thumbprint shown in an entry's name.
constexpr std::size_t kTagBytes = 8;

std::string CertificateTag(const Certificate& certificate) {
  const Bytes& der = certificate.Encoded();
  return HexPrefix(ComputeDigest(ThumbprintAlgorithm::Sha1, der.data(), der.size()), kTagBytes);
}

// Every readable certificate of a folder, in store order.
std::vector<std::unique_ptr<StoredCertificate>> CertificatesIn(const StoreFolder& folder) {
  std::vector<std::unique_ptr<StoredCertificate>> certificates;
  const std::string extension = kCertificateExtension;
  for (const std::string& name : folder.List(extension)) {
    const auto der = folder.Read(name);
    if (!der) {
      continue;
    }
    X509Ptr x509 = ParseExactDer(der->data(), der->size());
    if (!x509) {
      continue;
    }
    certificates.push_back(
        std::make_unique<StoredCertificate>(std::move(x509), std::move(*der), folder.Path(),
                                            name.substr(0, name.size() - extension.size())));
  }
  return certificates;
}

// The machine's folder of an anchor store, which a user's lookups in the same store also see
// (as a user's CA and Root show the machine's certificates on Windows); none for other stores,
// or when the machine has no such folder. Nothing is created.
std::vector<StoreFolder> MachineFallbacks(StoreLocation location, const std::string& folderName) {
  std::vector<StoreFolder> fallbacks;
  if (location != StoreLocation::CurrentUser || (folderName != "CA" && folderName != "Root")) {
    return fallbacks;
  }
  const auto machine = StoresRoot(StoreLocation::LocalMachine);
  struct stat info {};
  if (machine && ::stat((*machine / folderName).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    fallbacks.emplace_back(*machine / folderName);
  }
  return fallbacks;
}

}  // namespace

StoredCertificate::StoredCertificate(X509Ptr x509, Bytes der, std::filesystem::path folder,
                                     std::string stem)
    : OpenSslCertificate(std::move(x509), std::move(der)),
      folder_(std::move(folder)),
      stem_(std::move(stem)) {}

std::unique_ptr<FileCertStore> FileCertStore::Open(StoreLocation location,
                                                   const std::u16string& name) {
  const auto root = StoresRoot(location);
  const auto folderName = StoreFolderName(name);
  if (!root || !folderName) {
    return nullptr;
  }
  const std::filesystem::path folder = *root / *folderName;
  // Without write rights the store is refused, as a machine store is for a normal user.
  if (!CreateStoreFolder(location, folder) || ::access(folder.c_str(), R_OK | W_OK | X_OK) != 0) {
    return nullptr;
  }
  auto store =
      std::make_unique<FileCertStore>(StoreFolder(folder), MachineFallbacks(location, *folderName));
  // A folder that stays locked (another process holding it) is a store that cannot be opened.
  const bool tidied = store->HoldsPendingKeys()
                          ? store->folder_.Tidy()
                          : store->folder_.Tidy(kKeyExtension, kCertificateExtension);
  if (!tidied) {
    return nullptr;
  }
  return store;
}

FileCertStore::FileCertStore(StoreFolder folder, std::vector<StoreFolder> fallbacks)
    : folder_(std::move(folder)), fallbacks_(std::move(fallbacks)) {}

bool FileCertStore::HoldsPendingKeys() const {
  return folder_.Path().filename() == kPendingStore;
}

std::vector<std::unique_ptr<StoredCertificate>> FileCertStore::Certificates() const {
  return CertificatesIn(folder_);
}

CertificatePtr FileCertStore::FindFirstBySubject(const std::u16string& text) {
  const std::u16string wanted = FoldCase(text);
  for (std::size_t index = 0; index <= fallbacks_.size(); ++index) {
    const StoreFolder& folder = index == 0 ? folder_ : fallbacks_[index - 1];
    for (auto& certificate : CertificatesIn(folder)) {
      const std::u16string subject = FoldCase(
          RenderSimpleName(certificate->EncodedSubject(), std::numeric_limits<std::size_t>::max()));
      if (subject.find(wanted) != std::u16string::npos) {
        return std::move(certificate);
      }
    }
  }
  return nullptr;
}

bool FileCertStore::Add(const Certificate& certificate) {
  if (!AddWithKey(certificate, {})) {
    return false;
  }
  return true;
}

bool FileCertStore::Delete(CertificatePtr found) {
  const auto* stored = dynamic_cast<const StoredCertificate*>(found.get());
  if (stored == nullptr || stored->Folder() != folder_.Path()) {
    return false;
  }
  const std::string stem = stored->Stem();
  found.reset();
  return RemoveEntry(stem);
}

bool FileCertStore::Contains(const Bytes& encoded) const {
  for (const auto& certificate : Certificates()) {
    if (certificate->Encoded() == encoded) {
      return true;
    }
  }
  return false;
}

std::optional<std::string> FileCertStore::AddWithKey(const Certificate& certificate,
                                                     const SecretBytes& keyPem) {
  // Only a well-formed certificate is stored, so every file of the store reads back.
  const auto checked = OpenSslCertificate::FromCertificate(certificate);
  if (!checked) {
    return std::nullopt;
  }
  std::vector<EntryFile> files;
  // The key is written first: a certificate file never appears without its key.
  if (!keyPem.empty()) {
    files.push_back({kKeyExtension, keyPem, 0600});
  }
  files.push_back({kCertificateExtension, checked->Encoded(), 0644});
  return folder_.AddEntry(CertificateTag(*checked), files);
}

std::optional<std::string> FileCertStore::AddKey(const std::string& tag,
                                                 const SecretBytes& keyPem) {
  if (keyPem.empty()) {
    return std::nullopt;
  }
  return folder_.AddEntry(tag, {{kKeyExtension, keyPem, 0600}});
}

std::vector<StoredKey> FileCertStore::Keys() const {
  std::vector<StoredKey> keys;
  const std::string extension = kKeyExtension;
  const std::vector<std::string> certificates = folder_.List(kCertificateExtension);
  const bool alone = HoldsPendingKeys();
  for (const std::string& name : folder_.List(extension)) {
    std::string stem = name.substr(0, name.size() - extension.size());
    if (!alone && !std::binary_search(certificates.begin(), certificates.end(),
                                      stem + kCertificateExtension)) {
      continue;
    }
    if (auto pem = folder_.ReadSecret(name); pem && !pem->empty()) {
      keys.push_back({std::move(stem), std::move(*pem)});
    }
  }
  return keys;
}

bool FileCertStore::RemoveEntry(const std::string& stem) {
  // The certificate goes first: it commits the entry, and a key left alone is ignored.
  return folder_.Remove({stem + kCertificateExtension, stem + kKeyExtension});
}

}  // namespace digital_id
