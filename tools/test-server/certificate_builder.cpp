#include "certificate_builder.h"

#include <openssl/rsa.h>

#include "openssl_error.h"

namespace digital_id::test_server {

namespace {

bool IsPrintableStringText(const std::string& value) {
  for (const char c : value) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    std::string_view(" '()+,-./:=?").find(c) != std::string_view::npos;
    if (!ok) return false;
  }
  return true;
}

bool SetRandomSerial(X509* certificate) {
  BignumPtr number(BN_new());
  if (!number || BN_rand(number.get(), 127, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) != 1) return false;
  Asn1IntegerPtr serial(BN_to_ASN1_INTEGER(number.get(), nullptr));
  return serial && X509_set_serialNumber(certificate, serial.get()) == 1;
}

bool AddExtensions(X509* certificate, X509* issuer,
                   const std::vector<std::pair<int, std::string>>& extensions, std::string& error) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer != nullptr ? issuer : certificate, certificate, nullptr, nullptr,
                 0);
  for (const auto& [nid, value] : extensions) {
    X509ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1) {
      error = "extension " + std::string(OBJ_nid2sn(nid)) + ": " + TakeOpenSslError();
      return false;
    }
  }
  return true;
}

// The profile's exact validity, or from an hour ago (clock skew) for validDays.
bool SetValidity(X509* certificate, const CertificateProfile& profile) {
  ASN1_TIME* notBefore = X509_getm_notBefore(certificate);
  ASN1_TIME* notAfter = X509_getm_notAfter(certificate);
  return (profile.notBefore ? ASN1_TIME_set(notBefore, *profile.notBefore)
                            : X509_gmtime_adj(notBefore, -3600)) != nullptr &&
         (profile.notAfter ? ASN1_TIME_set(notAfter, *profile.notAfter)
                           : X509_time_adj_ex(notAfter, static_cast<int>(profile.validDays), 0,
                                              nullptr)) != nullptr;
}

}  // namespace

EvpPkeyPtr GenerateRsaKey(int bits) {
  EvpPkeyCtxPtr context(EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr));
  if (!context || EVP_PKEY_keygen_init(context.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(context.get(), bits) != 1) {
    return nullptr;
  }
  EVP_PKEY* key = nullptr;
  if (EVP_PKEY_keygen(context.get(), &key) != 1) return nullptr;
  return EvpPkeyPtr(key);
}

X509NamePtr MakeName(const std::vector<NameAttribute>& attributes) {
  X509NamePtr name(X509_NAME_new());
  if (!name) return nullptr;
  for (const NameAttribute& attribute : attributes) {
    const int type = attribute.type != 0                      ? attribute.type
                     : IsPrintableStringText(attribute.value) ? V_ASN1_PRINTABLESTRING
                                                              : V_ASN1_UTF8STRING;
    if (X509_NAME_add_entry_by_txt(name.get(), attribute.field.c_str(), type,
                                   reinterpret_cast<const unsigned char*>(attribute.value.data()),
                                   static_cast<int>(attribute.value.size()), -1,
                                   attribute.sameRdn ? -1 : 0) != 1) {
      return nullptr;
    }
  }
  return name;
}

X509Ptr BuildCertificate(const CertificateProfile& profile, std::string& error) {
  X509Ptr certificate(X509_new());
  X509_NAME* issuerName =
      profile.issuer != nullptr ? X509_get_subject_name(profile.issuer) : profile.subject;
  const bool built = certificate && X509_set_version(certificate.get(), X509_VERSION_3) == 1 &&
                     SetRandomSerial(certificate.get()) &&
                     X509_set_subject_name(certificate.get(), profile.subject) == 1 &&
                     X509_set_issuer_name(certificate.get(), issuerName) == 1 &&
                     SetValidity(certificate.get(), profile) &&
                     X509_set_pubkey(certificate.get(), profile.publicKey) == 1;
  if (!built) {
    error = "certificate fields: " + TakeOpenSslError();
    return nullptr;
  }
  if (!AddExtensions(certificate.get(), profile.issuer, profile.extensions, error)) return nullptr;
  if (X509_sign(certificate.get(), profile.signingKey, EVP_sha256()) <= 0) {
    error = "signature: " + TakeOpenSslError();
    return nullptr;
  }
  return certificate;
}

}  // namespace digital_id::test_server
