#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/cert_store.h"
#include "platform/tls_engine.h"

namespace digital_id {

class OpenSslSecurityInterface;

// The TLS engine package on OpenSSL 3: TLS 1.2 only, no client certificate, the server verified
// against the system's trusted roots plus the roots the given callback yields.
class OpenSslTlsEngine : public TlsEngine {
 public:
  // extraTrustedRoots yields DER certificates (the program's Root stores); it is asked anew by
  // every credential acquisition and may be empty.
  explicit OpenSslTlsEngine(std::function<std::vector<Bytes>()> extraTrustedRoots);
  ~OpenSslTlsEngine() override;

  OpenSslTlsEngine(const OpenSslTlsEngine&) = delete;
  OpenSslTlsEngine& operator=(const OpenSslTlsEngine&) = delete;

  // The function table, owned by the engine; null when OpenSSL cannot be initialised.
  SecurityInterface* InitSecurityInterface() override;

 private:
  std::unique_ptr<OpenSslSecurityInterface> interface_;
};

}  // namespace digital_id
