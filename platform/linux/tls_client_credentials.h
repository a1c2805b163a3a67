#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <utility>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/openssl_tls_handles.h"

namespace digital_id {

// Client credentials: a TLS 1.2-only client context without a client certificate that verifies
// the server against the system's default trust paths plus the given extra roots.
class TlsClientCredentials {
 public:
  // Builds the context and a fresh trust store; null when OpenSSL cannot set them up. Entries of
  // extraRoots that are not exactly one DER certificate are skipped.
  static std::unique_ptr<TlsClientCredentials> Create(const std::vector<Bytes>& extraRoots);

  // Wraps a configured context; Create is the way to make one.
  explicit TlsClientCredentials(SslCtxPtr context) : context_(std::move(context)) {}

  // The context that connections made with these credentials share (reference-counted by them).
  SSL_CTX* Context() const { return context_.get(); }

 private:
  SslCtxPtr context_;
};

}  // namespace digital_id
