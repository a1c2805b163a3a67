#include "platform/linux/publish/pkcs12_export.h"

#include <openssl/pkcs12.h>

#include <memory>
#include <vector>

#include "platform/linux/stores/atomic_file.h"
#include "platform/linux/stores/issued_identity.h"

namespace digital_id {

namespace {

// Iterations of the PBKDF2 that protects the key and the certificates, and of the MAC's key
// derivation: today's recommendation for PBKDF2-HMAC-SHA-256, so that a stolen file resists a
// guessing attack on its passphrase.
constexpr int kIterations = 600'000;

struct Pkcs12Deleter {
  void operator()(PKCS12* p12) const { PKCS12_free(p12); }
};
struct CertificateStackDeleter {
  void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};

}  // namespace

Pkcs12Export ExportNewestIdentityAsPkcs12(StoreLocation location, const SecretText& passphrase,
                                          const std::filesystem::path& file) {
  try {
    if (passphrase.empty()) {
      return {false, "the passphrase is empty"};
    }
    const auto identity = NewestIdentity(location);
    if (!identity) {
      return {false, "no issued certificate with its key in the store"};
    }
    std::unique_ptr<STACK_OF(X509), CertificateStackDeleter> chain(sk_X509_new_null());
    if (!chain) {
      return {false, "out of memory"};
    }
    std::vector<X509*> authorities;
    for (const X509Ptr& intermediate : identity->intermediates) {
      authorities.push_back(intermediate.get());
    }
    if (identity->root) {
      authorities.push_back(identity->root.get());
    }
    for (X509* authority : authorities) {
      if (X509_up_ref(authority) != 1 || sk_X509_push(chain.get(), authority) <= 0) {
        return {false, "out of memory"};
      }
    }
    const std::string name = CommonNameOf(identity->certificate.get());
    // Key and certificates under PBES2 with AES-256-CBC (the key derivation is PBKDF2 with
    // HMAC-SHA-256). No MAC here (mac_iter -1): it is added below with SHA-256 named explicitly.
    std::unique_ptr<PKCS12, Pkcs12Deleter> p12(
        PKCS12_create_ex(passphrase.c_str(), name.empty() ? nullptr : name.c_str(),
                         identity->key.get(), identity->certificate.get(), chain.get(),
                         NID_aes_256_cbc, NID_aes_256_cbc, kIterations, -1, 0, nullptr, nullptr));
    if (!p12 || PKCS12_set_mac(p12.get(), passphrase.c_str(), -1, nullptr, 0, kIterations,
                               EVP_sha256()) != 1) {
      return {false, "cannot build the PKCS #12 file"};
    }
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(p12.get(), &der);
    Bytes bytes;
    if (length > 0 && der != nullptr) {
      bytes.assign(der, der + length);
    }
    OPENSSL_free(der);
    if (bytes.empty()) {
      return {false, "cannot encode the PKCS #12 file"};
    }
    if (WriteFileAtomically(file, bytes, 0600, Placement::Replace) != WriteOutcome::Written) {
      return {false, "cannot write " + file.string()};
    }
    return {true, {}};
  } catch (...) {
    return {false, "out of memory"};
  }
}

}  // namespace digital_id
