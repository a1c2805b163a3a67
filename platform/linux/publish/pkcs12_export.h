#pragma once

#include <filesystem>
#include <string>

#include "base/secret_text.h"
#include "platform/cert_store.h"

namespace digital_id {

// What an export came to.
struct Pkcs12Export {
  bool written = false;
  std::string error;  // why nothing was written; empty on success
};

// Writes the newest identity of the location's My store as a PKCS #12 file protected by
// passphrase (UTF-8, not empty): the private key, the certificate and the certificates up to its
// root as the CA and Root stores hold them. Key and certificates are encrypted with AES-256-CBC
// under a PBKDF2-HMAC-SHA-256 key of 600,000 iterations (PBES2), and the file carries an
// HMAC-SHA-256 MAC of as many iterations; no RC2 or 3DES is used.
// The file gets mode 0600 and replaces an existing one in one step. Nothing is written on
// failure.
Pkcs12Export ExportNewestIdentityAsPkcs12(StoreLocation location, const SecretText& passphrase,
                                          const std::filesystem::path& file);

}  // namespace digital_id
