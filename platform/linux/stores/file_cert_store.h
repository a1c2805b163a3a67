#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/stores/store_folder.h"
#include "platform/linux/x509/openssl_certificate.h"

namespace digital_id {

// A certificate read from a store folder; it remembers its entry so that it can be deleted.
class StoredCertificate : public OpenSslCertificate {
 public:
  // Takes the certificate, the bytes of its file (kept as its encoded form) and the folder and
  // stem of its entry.
  StoredCertificate(X509Ptr x509, Bytes der, std::filesystem::path folder, std::string stem);

  // Folder of the store the certificate was read from.
  const std::filesystem::path& Folder() const { return folder_; }
  // Name of its entry files without extension.
  const std::string& Stem() const { return stem_; }

 private:
  std::filesystem::path folder_;
  std::string stem_;
};

// A private key waiting in a store folder (a pending request's key in REQUEST).
struct StoredKey {
  std::string stem;  // entry name without extension
  SecretBytes pem;   // the key as PEM text, wiped when freed
};

// A certificate store kept as a folder of DER files (see StoreFolder for names and writes);
// a private key lives beside its certificate as "<stem>.key" (PEM, mode 0600). The key of an
// entry is written before its certificate, so the certificate file commits the entry: outside
// the pending store REQUEST, a key without its certificate is the remains of a writer that died,
// ignored by readers and removed by the next Open.
class FileCertStore : public CertStore {
 public:
  // Opens the named store at the location, creating its folder and tidying what interrupted
  // writes left; null when the folder cannot be created, the user may not write to it or its
  // lock stays taken by another process.
  static std::unique_ptr<FileCertStore> Open(StoreLocation location, const std::u16string& name);
  // A store over an existing folder; lookups go on, read-only, in the folders of fallbacks.
  explicit FileCertStore(StoreFolder folder, std::vector<StoreFolder> fallbacks = {});

  // The first certificate in store order whose subject's simple name contains text, ignoring
  // case, looking in this store's own folder first and then in its fallbacks; null when none
  // does.
  CertificatePtr FindFirstBySubject(const std::u16string& text) override;
  // Adds a copy whatever the store holds; false when the certificate is invalid or the write fails.
  bool Add(const Certificate& certificate) override;
  // Removes a certificate this store's own folder handed out, with its key if it has one.
  bool Delete(CertificatePtr found) override;

  // Every certificate of the store's own folder, in store order; unreadable files are skipped.
  std::vector<std::unique_ptr<StoredCertificate>> Certificates() const;
  // True when the store holds a certificate with exactly this DER encoding.
  bool Contains(const Bytes& encoded) const;
  // Adds a certificate together with its private key (PEM; empty for none); the entry's stem,
  // or nullopt.
  std::optional<std::string> AddWithKey(const Certificate& certificate, const SecretBytes& keyPem);
  // Adds a private key alone (PEM, mode 0600) tagged with tag; the entry's stem, or nullopt.
  std::optional<std::string> AddKey(const std::string& tag, const SecretBytes& keyPem);
  // Every private key of the store, in store order (outside REQUEST only keys whose certificate
  // is beside them).
  std::vector<StoredKey> Keys() const;
  // Removes an entry's certificate and key files; false when one of them stays.
  bool RemoveEntry(const std::string& stem);
  // The folder behind the store.
  const StoreFolder& Folder() const { return folder_; }

 private:
  // True for the store of pending keys, whose keys stand alone.
  bool HoldsPendingKeys() const;

  StoreFolder folder_;
  std::vector<StoreFolder> fallbacks_;
};

}  // namespace digital_id
