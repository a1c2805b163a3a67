#pragma once

#include <openssl/x509.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/cert_store.h"
#include "platform/linux/x509/openssl_handles.h"

namespace digital_id {

// A certificate held as an OpenSSL X509 together with its DER encoding.
class OpenSslCertificate : public Certificate {
 public:
  // Takes ownership of the certificate; the DER form is encoded once here. A null certificate
  // gives an object whose fields are all empty or 0.
  explicit OpenSslCertificate(X509Ptr x509);
  // Takes ownership of a certificate parsed from der and keeps those bytes as its encoded form,
  // since OpenSSL's re-encoding may differ from them (for instance in unused signature bits).
  OpenSslCertificate(X509Ptr x509, Bytes der);

  // A certificate from DER bytes; null unless the bytes are exactly one certificate.
  static std::unique_ptr<OpenSslCertificate> FromDer(const std::uint8_t* data, std::size_t size);
  // A certificate copied from another implementation through its DER form; null when invalid.
  static std::unique_ptr<OpenSslCertificate> FromCertificate(const Certificate& certificate);

  // Start of the validity period as a UTC file time (0 when it cannot be read).
  std::uint64_t NotBefore() const override;
  // End of the validity period as a UTC file time (0 when it cannot be read).
  std::uint64_t NotAfter() const override;
  // Signature-algorithm identifier as dotted text; empty when it cannot be read.
  std::string SignatureAlgorithmOid() const override;
  // The whole DER encoding of the certificate.
  const Bytes& Encoded() const override { return der_; }
  // The DER encoding of the issuer name.
  Bytes EncodedIssuer() const override;
  // The DER encoding of the subject name.
  Bytes EncodedSubject() const override;

  // The native certificate, still owned by this object.
  X509* Native() const { return x509_.get(); }

 private:
  X509Ptr x509_;
  Bytes der_;
};

// Parses DER bytes that hold exactly one certificate; null otherwise (trailing bytes included).
X509Ptr ParseExactDer(const std::uint8_t* data, std::size_t size);

// Converts an ASN.1 time to a UTC file time (100 ns intervals since 1601-01-01); 0 when invalid.
std::uint64_t Asn1TimeToFileTime(const ASN1_TIME* time);

}  // namespace digital_id
