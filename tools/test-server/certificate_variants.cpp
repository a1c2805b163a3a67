#include "certificate_variants.h"

#include <openssl/rand.h>

#include "openssl_error.h"

namespace digital_id::test_server {

namespace {

constexpr long kDaySeconds = 24 * 60 * 60;

// A fresh random positive serial, so that the copy never passes for the original.
bool SetNewSerial(X509* certificate) {
  unsigned char bytes[16] = {};
  if (RAND_bytes(bytes, sizeof(bytes)) != 1) return false;
  bytes[0] &= 0x7F;
  BignumPtr number(BN_bin2bn(bytes, sizeof(bytes), nullptr));
  Asn1IntegerPtr serial(number ? BN_to_ASN1_INTEGER(number.get(), nullptr) : nullptr);
  return serial && X509_set_serialNumber(certificate, serial.get()) == 1;
}

// Signs the finished copy; null (with the reason in error) when that fails.
X509Ptr SignCopy(X509Ptr copy, EVP_PKEY* signingKey, std::string& error) {
  if (X509_sign(copy.get(), signingKey, EVP_sha256()) <= 0) {
    error = "signature: " + TakeOpenSslError();
    return nullptr;
  }
  return copy;
}

}  // namespace

X509Ptr CopyWithValidity(X509* original, EVP_PKEY* signingKey, Validity validity,
                         std::string& error) {
  X509Ptr copy(X509_dup(original));
  const long start = validity == Validity::Expired ? -30 * kDaySeconds : 30 * kDaySeconds;
  const long end = validity == Validity::Expired ? -kDaySeconds : 395 * kDaySeconds;
  if (!copy || !SetNewSerial(copy.get()) ||
      X509_gmtime_adj(X509_getm_notBefore(copy.get()), start) == nullptr ||
      X509_gmtime_adj(X509_getm_notAfter(copy.get()), end) == nullptr) {
    error = "certificate copy: " + TakeOpenSslError();
    return nullptr;
  }
  return SignCopy(std::move(copy), signingKey, error);
}

X509Ptr CopyForOtherName(X509* original, EVP_PKEY* signingKey, const std::string& dnsName,
                         std::string& error) {
  X509Ptr copy(X509_dup(original));
  X509NamePtr subject(copy ? X509_NAME_dup(X509_get_subject_name(copy.get())) : nullptr);
  bool done = copy && subject && SetNewSerial(copy.get());
  // The common name is replaced in place; the other attributes stay.
  const int cn = done ? X509_NAME_get_index_by_NID(subject.get(), NID_commonName, -1) : -1;
  if (cn >= 0) X509_NAME_ENTRY_free(X509_NAME_delete_entry(subject.get(), cn));
  done = done &&
         X509_NAME_add_entry_by_NID(subject.get(), NID_commonName, V_ASN1_PRINTABLESTRING,
                                    reinterpret_cast<const unsigned char*>(dnsName.data()),
                                    static_cast<int>(dnsName.size()), cn, 0) == 1 &&
         X509_set_subject_name(copy.get(), subject.get()) == 1;
  const int san = done ? X509_get_ext_by_NID(copy.get(), NID_subject_alt_name, -1) : -1;
  if (san >= 0) X509_EXTENSION_free(X509_delete_ext(copy.get(), san));
  const std::string value = "DNS:" + dnsName;
  X509ExtensionPtr extension(
      done ? X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, value.c_str()) : nullptr);
  if (!extension || X509_add_ext(copy.get(), extension.get(), -1) != 1) {
    error = "certificate copy: " + TakeOpenSslError();
    return nullptr;
  }
  return SignCopy(std::move(copy), signingKey, error);
}

}  // namespace digital_id::test_server
