#pragma once

#include "platform/cert_store.h"
#include "platform/win/x509/crypt_handles.h"

namespace digital_id {

// A certificate context of CryptoAPI behind the core's Certificate.
class CryptoApiCertificate : public Certificate {
 public:
  // Takes ownership of a non-null context.
  explicit CryptoApiCertificate(CertContextPtr context);

  std::uint64_t NotBefore() const override;
  std::uint64_t NotAfter() const override;
  std::string SignatureAlgorithmOid() const override;
  const Bytes& Encoded() const override { return encoded_; }
  Bytes EncodedIssuer() const override;
  Bytes EncodedSubject() const override;

  // The context, still owned here.
  PCCERT_CONTEXT Context() const { return context_.get(); }
  // Gives up ownership of the context (for CertDeleteCertificateFromStore, which frees it).
  PCCERT_CONTEXT ReleaseContext() { return context_.release(); }

 private:
  CertContextPtr context_;
  Bytes encoded_;
};

}  // namespace digital_id
