#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/x509/openssl_handles.h"

// The one certificate builder of the test PKIs: the test issuing server's demo PKI and issued
// certificates, and the certificates of the backend tests.
namespace digital_id::test_server {

// One attribute of a distinguished name, e.g. {"CN", "Example Root CA"}.
struct NameAttribute {
  std::string field;  // short name or dotted OID
  std::string value;  // UTF-8, or the bytes of the string type given
  int type = 0;       // V_ASN1_... string type; 0: PrintableString where it fits, else UTF8String
  bool sameRdn = false;  // joins the previous attribute's RDN (a multi-valued RDN)
};

// What a new certificate holds and who signs it.
struct CertificateProfile {
  X509_NAME* subject = nullptr;    // copied into the certificate
  EVP_PKEY* publicKey = nullptr;   // the subject's key (only its public half is used)
  X509* issuer = nullptr;          // the issuing certificate; null for a self-signed one
  EVP_PKEY* signingKey = nullptr;  // the issuer's private key (the subject's when self-signed)
  long validDays = 365;            // validity from one hour ago (clock skew) on
  std::optional<std::time_t> notBefore;  // exact validity instead, when given
  std::optional<std::time_t> notAfter;
  std::vector<std::pair<int, std::string>> extensions;  // NID and configuration text, in order
};

// A fresh RSA key pair of the given size; null on failure.
EvpPkeyPtr GenerateRsaKey(int bits);

// A name built from attributes in the given order. Null on failure.
X509NamePtr MakeName(const std::vector<NameAttribute>& attributes);

// A version 3 certificate with a random positive serial, signed with SHA-256; null on failure
// (error says why).
X509Ptr BuildCertificate(const CertificateProfile& profile, std::string& error);

}  // namespace digital_id::test_server
