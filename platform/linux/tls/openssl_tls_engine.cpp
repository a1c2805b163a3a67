#include "platform/linux/tls/openssl_tls_engine.h"

#include <openssl/ssl.h>

#include <utility>

#include "platform/linux/tls/openssl_tls_session.h"

namespace digital_id {

OpenSslTlsEngine::OpenSslTlsEngine(std::function<std::vector<Bytes>()> extraTrustedRoots,
                                   VerifiedServerAnchor* anchor)
    : extraTrustedRoots_(std::move(extraTrustedRoots)), anchor_(anchor) {}

std::unique_ptr<TlsSession> OpenSslTlsEngine::NewSession() {
  if (OPENSSL_init_ssl(0, nullptr) != 1) {
    return nullptr;
  }
  return std::make_unique<OpenSslTlsSession>(extraTrustedRoots_, anchor_);
}

}  // namespace digital_id
