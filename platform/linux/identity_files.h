#pragma once

#include <filesystem>
#include <string>

#include "platform/linux/issued_identity.h"

namespace digital_id {

// Stable names of the newest identity in the identity folder.
inline constexpr const char* kCurrentCertificateName = "identity.crt";
inline constexpr const char* kCurrentKeyName = "identity.key";

// What writing the identity files came to.
struct IdentityFilesResult {
  bool written = false;
  std::string detail;  // the certificate file written, or the reason for a failure
};

// Writes an identity of the location as PEM files for other programs into folder (made with mode
// 0700 when missing, its parents as the location's store folders are): "<stem>.crt" holds the
// certificate followed by its intermediates, "<stem>.key" the private key (PKCS #8, mode 0600).
// The symbolic links identity.crt and identity.key are then pointed at them in one step each, so
// they always name the newest identity; the files of earlier identities stay beside them, named
// after their entries in My. The machine's certificate file has mode 0600 too (the machine's
// identity is for root alone), a user's 0644.
IdentityFilesResult WriteIdentityFiles(StoreLocation location, const std::filesystem::path& folder,
                                       const IssuedIdentity& identity);

// The certificate followed by the intermediates, as PEM text; empty on failure.
Bytes CertificateChainPem(const IssuedIdentity& identity);

}  // namespace digital_id
