#include "platform/linux/openssl_tls_engine.h"

#include <openssl/ssl.h>

#include <utility>

#include "platform/linux/openssl_security_interface.h"

namespace digital_id {

OpenSslTlsEngine::OpenSslTlsEngine(std::function<std::vector<Bytes>()> extraTrustedRoots)
    : interface_(std::make_unique<OpenSslSecurityInterface>(std::move(extraTrustedRoots))) {}

OpenSslTlsEngine::~OpenSslTlsEngine() = default;

SecurityInterface* OpenSslTlsEngine::InitSecurityInterface() {
  if (OPENSSL_init_ssl(0, nullptr) != 1) {
    return nullptr;
  }
  return interface_.get();
}

}  // namespace digital_id
