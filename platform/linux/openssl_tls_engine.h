#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/cert_store.h"
#include "platform/tls_session.h"

namespace digital_id {

// The TLS engine on OpenSSL 3: TLS 1.2 only, no client certificate, the server verified against
// the system's trusted roots plus the roots the given callback yields.
class OpenSslTlsEngine : public TlsEngine {
 public:
  // extraTrustedRoots yields DER certificates (the program's Root stores); it is asked anew by
  // every handshake and may be empty.
  explicit OpenSslTlsEngine(std::function<std::vector<Bytes>()> extraTrustedRoots);

  // A session of OpenSSL on the socket; null when OpenSSL cannot be initialised.
  std::unique_ptr<TlsSession> NewSession() override;

 private:
  std::function<std::vector<Bytes>()> extraTrustedRoots_;
};

}  // namespace digital_id
