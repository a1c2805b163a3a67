#pragma once

#include <string>
#include <utility>
#include <vector>

#include "openssl_handles.h"

namespace digital_id::test_server {

// One attribute of a distinguished name, e.g. {"CN", "Example Root CA"}.
using NameAttribute = std::pair<std::string, std::string>;

// What a new certificate holds and who signs it.
struct CertificateProfile {
  X509_NAME* subject = nullptr;    // copied into the certificate
  EVP_PKEY* publicKey = nullptr;   // the subject's key (only its public half is used)
  X509* issuer = nullptr;          // the issuing certificate; null for a self-signed one
  EVP_PKEY* signingKey = nullptr;  // the issuer's private key (the subject's when self-signed)
  long validDays = 365;            // validity from one hour ago (clock skew) on
  std::vector<std::pair<int, std::string>> extensions;  // NID and configuration text, in order
};

// A fresh RSA key pair of the given size; null on failure.
EvpPkeyPtr GenerateRsaKey(int bits);

// A name built from attributes in the given order. Values that fit a PrintableString are encoded
// as one, others as UTF8String (values are UTF-8). Null on failure.
X509NamePtr MakeName(const std::vector<NameAttribute>& attributes);

// A version 3 certificate with a random positive serial, signed with SHA-256; null on failure
// (error says why).
X509Ptr BuildCertificate(const CertificateProfile& profile, std::string& error);

}  // namespace digital_id::test_server
