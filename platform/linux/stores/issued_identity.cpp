#include "platform/linux/stores/issued_identity.h"

#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/linux/stores/file_cert_store.h"
#include "platform/linux/stores/store_paths.h"
#include "platform/linux/x509/enrollment_keys.h"

namespace digital_id {

namespace {

// Chains longer than this are not followed (a loop of cross-certificates, for instance).
constexpr int kMaxChainLength = 8;

bool IsFolder(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folders of a store that the location's lookups see: its own, then, for the current user,
// the machine's.
std::vector<std::filesystem::path> VisibleFolders(StoreLocation location, const char* store) {
  std::vector<std::filesystem::path> folders;
  std::vector<StoreLocation> locations = {location};
  if (location == StoreLocation::CurrentUser) {
    locations.push_back(StoreLocation::LocalMachine);
  }
  for (const StoreLocation each : locations) {
    if (const auto root = StoresRoot(each); root && IsFolder(*root / store)) {
      folders.push_back(*root / store);
    }
  }
  return folders;
}

// Every certificate of the visible folders of a store, as owned copies.
std::vector<X509Ptr> VisibleCertificates(StoreLocation location, const char* store) {
  std::vector<X509Ptr> certificates;
  for (const auto& folder : VisibleFolders(location, store)) {
    const FileCertStore files{StoreFolder(folder)};
    for (const auto& stored : files.Certificates()) {
      if (X509_up_ref(stored->Native()) == 1) {
        certificates.emplace_back(stored->Native());
      }
    }
  }
  return certificates;
}

bool IsSelfSigned(X509* certificate) {
  return (X509_get_extension_flags(certificate) & EXFLAG_SS) != 0;
}

// True when issuer's name and key sign subject.
bool IssuedBy(X509* subject, X509* issuer) {
  EVP_PKEY* key = X509_get0_pubkey(issuer);
  return X509_check_issued(issuer, subject) == X509_V_OK && key != nullptr &&
         X509_verify(subject, key) == 1;
}

X509Ptr Copy(X509* certificate) {
  return X509Ptr(X509_up_ref(certificate) == 1 ? certificate : nullptr);
}

}  // namespace

void CompleteChain(StoreLocation location, IssuedIdentity& identity) {
  const std::vector<X509Ptr> authorities = VisibleCertificates(location, "CA");
  const std::vector<X509Ptr> roots = VisibleCertificates(location, "Root");
  X509* current = identity.certificate.get();
  for (int depth = 0; depth < kMaxChainLength && current != nullptr; ++depth) {
    for (const X509Ptr& root : roots) {
      if (IsSelfSigned(root.get()) && IssuedBy(current, root.get())) {
        identity.root = Copy(root.get());
        return;
      }
    }
    X509* next = nullptr;
    for (const X509Ptr& authority : authorities) {
      if (!IsSelfSigned(authority.get()) && authority.get() != current &&
          IssuedBy(current, authority.get())) {
        next = authority.get();
        break;
      }
    }
    if (next == nullptr) {
      return;
    }
    identity.intermediates.push_back(Copy(next));
    current = next;
  }
}

std::optional<IssuedIdentity> NewestIdentity(StoreLocation location) {
  const auto root = StoresRoot(location);
  if (!root || !IsFolder(*root / "My")) {
    return std::nullopt;
  }
  const FileCertStore personal{StoreFolder(*root / "My")};
  const auto keys = personal.Keys();
  auto certificates = personal.Certificates();
  for (auto it = certificates.rbegin(); it != certificates.rend(); ++it) {
    for (const StoredKey& stored : keys) {
      if (stored.stem != (*it)->Stem()) {
        continue;
      }
      EvpPkeyPtr key = PrivateKeyFromPem(stored.pem);
      if (!key || X509_check_private_key((*it)->Native(), key.get()) != 1) {
        continue;
      }
      IssuedIdentity identity;
      identity.stem = stored.stem;
      identity.certificate = Copy((*it)->Native());
      identity.key = std::move(key);
      CompleteChain(location, identity);
      return identity;
    }
  }
  return std::nullopt;
}

bool AnchoredBy(const IssuedIdentity& identity, X509* root) {
  X509* top = identity.intermediates.empty() ? identity.certificate.get()
                                             : identity.intermediates.back().get();
  return root != nullptr && top != nullptr && IsSelfSigned(root) && IssuedBy(top, root);
}

std::string CommonNameOf(X509* certificate) {
  const X509_NAME* name = certificate != nullptr ? X509_get_subject_name(certificate) : nullptr;
  const int index = name != nullptr ? X509_NAME_get_index_by_NID(name, NID_commonName, -1) : -1;
  if (index < 0) {
    return {};
  }
  unsigned char* utf8 = nullptr;
  const int length =
      ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
  if (length < 0 || utf8 == nullptr) {
    return {};
  }
  std::string value(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(length));
  OPENSSL_free(utf8);
  return value;
}

}  // namespace digital_id
