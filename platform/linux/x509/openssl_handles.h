#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

// Owners of OpenSSL objects, shared by the Linux backend, the test issuing server and the tests.
namespace digital_id {

// Deleter that releases an OpenSSL object with its matching free function.
template <typename T, void (*Free)(T*)>
struct OpenSslDeleter {
  void operator()(T* object) const { Free(object); }
};

// Owned BIO chain (BIO_free_all releases the whole chain).
using BioPtr = std::unique_ptr<BIO, OpenSslDeleter<BIO, BIO_free_all>>;
// Owned big number.
using BignumPtr = std::unique_ptr<BIGNUM, OpenSslDeleter<BIGNUM, BN_free>>;
// Owned ASN.1 integer.
using Asn1IntegerPtr =
    std::unique_ptr<ASN1_INTEGER, OpenSslDeleter<ASN1_INTEGER, ASN1_INTEGER_free>>;
// Owned key (public or private).
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY, EVP_PKEY_free>>;
// Owned key-generation or key-operation context.
using EvpPkeyCtxPtr =
    std::unique_ptr<EVP_PKEY_CTX, OpenSslDeleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
// Owned X.509 certificate.
using X509Ptr = std::unique_ptr<X509, OpenSslDeleter<X509, X509_free>>;
// Owned X.509 name.
using X509NamePtr = std::unique_ptr<X509_NAME, OpenSslDeleter<X509_NAME, X509_NAME_free>>;
// Owned certificate extension.
using X509ExtensionPtr =
    std::unique_ptr<X509_EXTENSION, OpenSslDeleter<X509_EXTENSION, X509_EXTENSION_free>>;
// Owned certificate request.
using X509ReqPtr = std::unique_ptr<X509_REQ, OpenSslDeleter<X509_REQ, X509_REQ_free>>;
// Owned certificate trust store, until SSL_CTX_set_cert_store takes it over.
using X509StorePtr = std::unique_ptr<X509_STORE, OpenSslDeleter<X509_STORE, X509_STORE_free>>;
// Owned PKCS #7 structure.
using Pkcs7Ptr = std::unique_ptr<PKCS7, OpenSslDeleter<PKCS7, PKCS7_free>>;
// Owned TLS context: protocol limits, verification settings and trust store.
using SslCtxPtr = std::unique_ptr<SSL_CTX, OpenSslDeleter<SSL_CTX, SSL_CTX_free>>;
// Owned TLS connection (it owns the BIOs attached to it with SSL_set_bio).
using SslPtr = std::unique_ptr<SSL, OpenSslDeleter<SSL, SSL_free>>;

}  // namespace digital_id
