#include "platform/win/x509/cryptoapi_certificate.h"

namespace digital_id {

namespace {

std::uint64_t FromFileTime(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

Bytes FromBlob(const CERT_NAME_BLOB& blob) {
  return Bytes(blob.pbData, blob.pbData + blob.cbData);
}

}  // namespace

CryptoApiCertificate::CryptoApiCertificate(CertContextPtr context)
    : context_(std::move(context)),
      encoded_(context_->pbCertEncoded, context_->pbCertEncoded + context_->cbCertEncoded) {}

std::uint64_t CryptoApiCertificate::NotBefore() const {
  return FromFileTime(context_->pCertInfo->NotBefore);
}

std::uint64_t CryptoApiCertificate::NotAfter() const {
  return FromFileTime(context_->pCertInfo->NotAfter);
}

std::string CryptoApiCertificate::SignatureAlgorithmOid() const {
  const char* oid = context_->pCertInfo->SignatureAlgorithm.pszObjId;
  return oid != nullptr ? std::string(oid) : std::string();
}

Bytes CryptoApiCertificate::EncodedIssuer() const {
  return FromBlob(context_->pCertInfo->Issuer);
}

Bytes CryptoApiCertificate::EncodedSubject() const {
  return FromBlob(context_->pCertInfo->Subject);
}

}  // namespace digital_id
