#include "platform/linux/x509/enrollment_keys.h"

#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include "platform/linux/x509/digest.h"

namespace digital_id {

namespace {

constexpr unsigned int kKeyBits = 2048;
constexpr std::size_t kTagBytes = 8;

}  // namespace

EvpPkeyPtr GenerateRsaKey() {
  EvpPkeyCtxPtr context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* key = nullptr;
  if (!context || EVP_PKEY_keygen_init(context.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(context.get(), kKeyBits) != 1 ||
      EVP_PKEY_generate(context.get(), &key) != 1) {
    return nullptr;
  }
  return EvpPkeyPtr(key);
}

Bytes MakePkcs10Request(EVP_PKEY* key) {
  X509ReqPtr request(X509_REQ_new());
  X509NamePtr subject(X509_NAME_new());
  if (!request || !subject || key == nullptr || X509_REQ_set_version(request.get(), 0) != 1 ||
      X509_REQ_set_subject_name(request.get(), subject.get()) != 1 ||
      X509_REQ_set_pubkey(request.get(), key) != 1 ||
      X509_REQ_sign(request.get(), key, EVP_sha256()) <= 0) {
    return {};
  }
  unsigned char* der = nullptr;
  const int length = i2d_X509_REQ(request.get(), &der);
  Bytes encoded;
  if (length > 0 && der != nullptr) {
    encoded.assign(der, der + length);
  }
  OPENSSL_free(der);
  return encoded;
}

SecretBytes PrivateKeyToPem(EVP_PKEY* key) {
  // The memory BIO wipes its own buffer when it is freed.
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || key == nullptr ||
      PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    return {};
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return length > 0 && data != nullptr ? SecretBytes(data, data + length) : SecretBytes();
}

EvpPkeyPtr PrivateKeyFromPem(std::span<const std::uint8_t> pem) {
  if (pem.empty() || pem.size() > static_cast<std::size_t>(INT_MAX)) {
    return nullptr;
  }
  BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) {
    return nullptr;
  }
  return EvpPkeyPtr(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

std::string PublicKeyTag(EVP_PKEY* key) {
  unsigned char* der = nullptr;
  const int length = key != nullptr ? i2d_PUBKEY(key, &der) : -1;
  Bytes digest;
  if (length > 0 && der != nullptr) {
    digest = ComputeDigest(ThumbprintAlgorithm::Sha1, der, static_cast<std::size_t>(length));
  }
  OPENSSL_free(der);
  return HexPrefix(digest, kTagBytes);
}

}  // namespace digital_id
