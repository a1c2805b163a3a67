#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/stores/file_cert_store.h"

namespace digital_id {

// Certificate functions over OpenSSL and the file stores of both locations. A user's CA and Root
// stores also show the machine's certificates to lookups (read-only, after the user's own).
class FileCertServices : public CertServices {
 public:
  // Opens (creating if needed) a store folder of the location; null without write rights.
  std::unique_ptr<CertStore> OpenSystemStore(StoreLocation location,
                                             const std::u16string& name) override;
  // A certificate from exactly one DER certificate; null otherwise.
  CertificatePtr CreateFromDer(const std::uint8_t* data, std::size_t size) override;
  // SHA-1 or SHA-256 digest of the certificate's DER form.
  Bytes Thumbprint(ThumbprintAlgorithm algorithm, const Certificate& certificate) override;
  // The simple-name rendering of a DER name, cut to bufferChars - 1 characters.
  std::u16string NameToSimpleString(const Bytes& encodedName, std::size_t bufferChars) override;

  // Opens a store with its file operations (keys, entries); null as OpenSystemStore.
  std::unique_ptr<FileCertStore> OpenFileStore(StoreLocation location, const std::u16string& name);
};

// The DER form of every certificate in the Root stores of the current user and the local
// machine (user first, each in store order). Read-only: no folder is created.
std::vector<Bytes> TrustedRootsFromStores();

}  // namespace digital_id
