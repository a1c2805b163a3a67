#pragma once

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <memory>

#include "platform/linux/openssl_handles.h"

namespace digital_id {

// Owned TLS context: protocol limits, verification settings and trust store of a credential.
using SslCtxPtr = std::unique_ptr<SSL_CTX, OpenSslDeleter<SSL_CTX, SSL_CTX_free>>;
// Owned TLS connection (it owns the BIOs attached to it with SSL_set_bio).
using SslPtr = std::unique_ptr<SSL, OpenSslDeleter<SSL, SSL_free>>;
// Owned certificate trust store, until SSL_CTX_set_cert_store takes it over.
using X509StorePtr = std::unique_ptr<X509_STORE, OpenSslDeleter<X509_STORE, X509_STORE_free>>;

}  // namespace digital_id
