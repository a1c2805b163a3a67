#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>

namespace digital_id {

// Deleter that releases an OpenSSL object with its matching free function.
template <typename T, void (*Free)(T*)>
struct OpenSslDeleter {
  void operator()(T* object) const { Free(object); }
};

// Owned X.509 certificate.
using X509Ptr = std::unique_ptr<X509, OpenSslDeleter<X509, X509_free>>;
// Owned key (public or private).
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY, EVP_PKEY_free>>;
// Owned key-generation or key-operation context.
using EvpPkeyCtxPtr =
    std::unique_ptr<EVP_PKEY_CTX, OpenSslDeleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
// Owned certificate request.
using X509ReqPtr = std::unique_ptr<X509_REQ, OpenSslDeleter<X509_REQ, X509_REQ_free>>;
// Owned X.509 name.
using X509NamePtr = std::unique_ptr<X509_NAME, OpenSslDeleter<X509_NAME, X509_NAME_free>>;
// Owned PKCS #7 structure.
using Pkcs7Ptr = std::unique_ptr<PKCS7, OpenSslDeleter<PKCS7, PKCS7_free>>;

// Deleter for a BIO chain (BIO_free_all returns nothing, unlike BIO_free).
struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free_all(bio); }
};
// Owned BIO chain.
using BioPtr = std::unique_ptr<BIO, BioDeleter>;

}  // namespace digital_id
