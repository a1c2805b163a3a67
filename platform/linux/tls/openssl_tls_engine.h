#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/tls/verified_server_anchor.h"
#include "platform/tls_session.h"

namespace digital_id {

// The TLS engine on OpenSSL 3: TLS 1.2 only, no client certificate, the server verified against
// the system's trusted roots plus the roots the given callback yields.
class OpenSslTlsEngine : public TlsEngine {
 public:
  // extraTrustedRoots yields DER certificates (the program's Root stores); it is asked anew by
  // every handshake and may be empty. Each handshake tells anchor (null for none; it must
  // outlive this object) the root of the chain it verified.
  explicit OpenSslTlsEngine(std::function<std::vector<Bytes>()> extraTrustedRoots,
                            VerifiedServerAnchor* anchor = nullptr);

  // A session of OpenSSL on the socket; null when OpenSSL cannot be initialised.
  std::unique_ptr<TlsSession> NewSession() override;

 private:
  std::function<std::vector<Bytes>()> extraTrustedRoots_;
  VerifiedServerAnchor* anchor_;
};

}  // namespace digital_id
