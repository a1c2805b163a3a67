#pragma once

#include "platform/cert_store.h"
#include "platform/win/x509/crypt_handles.h"

namespace digital_id {

// An open CryptoAPI system store.
class CryptoApiStore : public CertStore {
 public:
  // Takes ownership of an open store handle.
  explicit CryptoApiStore(CertStorePtr store) : store_(std::move(store)) {}

  // CertFindCertificateInStore with CERT_FIND_SUBJECT_STR_W (every certificate for empty text).
  CertificatePtr FindFirstBySubject(const std::u16string& text) override;
  // CertAddCertificateContextToStore with CERT_STORE_ADD_ALWAYS.
  bool Add(const Certificate& certificate) override;
  // CertDeleteCertificateFromStore, then CERT_STORE_CTRL_COMMIT so the removal persists.
  bool Delete(CertificatePtr found) override;

 private:
  CertStorePtr store_;
};

// CryptoAPI certificate functions and system stores.
class CryptoApiCertServices : public CertServices {
 public:
  // CertOpenStore with CERT_STORE_PROV_SYSTEM_W and the location flag.
  std::unique_ptr<CertStore> OpenSystemStore(StoreLocation location,
                                             const std::u16string& name) override;
  // CertCreateCertificateContext with X509_ASN_ENCODING; null unless all bytes are used.
  CertificatePtr CreateFromDer(const std::uint8_t* data, std::size_t size) override;
  // The SHA-1 or SHA-256 digest of the encoding, through CryptDigest (PROV_RSA_AES).
  Bytes Thumbprint(ThumbprintAlgorithm algorithm, const Certificate& certificate) override;
  // CertNameToStrW with CERT_SIMPLE_NAME_STR into bufferChars characters.
  std::u16string NameToSimpleString(const Bytes& encodedName, std::size_t bufferChars) override;
};

}  // namespace digital_id
