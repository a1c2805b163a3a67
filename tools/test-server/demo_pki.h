#pragma once

#include <optional>
#include <string>

#include "platform/linux/x509/openssl_handles.h"

namespace digital_id::test_server {

// A certificate together with its private key.
struct CertifiedKey {
  X509Ptr certificate;
  EvpPkeyPtr key;
};

// The demo PKI: a root, the issuing CA and a second intermediate under it, a TLS server
// certificate from each intermediate, and a self-signed server certificate nobody trusts.
struct DemoPki {
  CertifiedKey root;             // C=XX, O=Example Org, CN=Example Root CA
  CertifiedKey issuingCa;        // CN=Example Issuing CA, issued by the root; signs client certs
  CertifiedKey server;           // CN=localhost, DNS localhost, IP 127.0.0.1; from issuingCa
  CertifiedKey otherCa;          // CN=Other Issuing CA, issued by the root
  CertifiedKey otherServer;      // like server, but issued by otherCa
  CertifiedKey untrustedServer;  // like server, but self-signed
};

// Loads the demo PKI from folder, or, when it is missing, incomplete or inconsistent, makes a new
// one and writes it there (each file atomically; keys with mode 0600). created tells which
// happened. Nothing on failure, with the reason in error. Every certificate returned has been
// encoded once (read from or written to PEM), so threads may then share it read-only.
std::optional<DemoPki> LoadOrCreateDemoPki(const std::string& folder, bool& created,
                                           std::string& error);

}  // namespace digital_id::test_server
