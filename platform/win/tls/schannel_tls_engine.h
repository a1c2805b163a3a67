#pragma once

#include <memory>

#include "platform/sockets.h"
#include "platform/tls_session.h"

namespace digital_id {

// The TLS engine of Windows: sessions over the Schannel package, reached through the function
// table of InitSecurityInterfaceW, and the Winsock sockets.
class SchannelTlsEngine : public TlsEngine {
 public:
  // An engine whose sessions reach the server through sockets, which must outlive them.
  explicit SchannelTlsEngine(Sockets& sockets) : sockets_(sockets) {}

  // A session over the function table; null when InitSecurityInterfaceW gives none.
  std::unique_ptr<TlsSession> NewSession() override;

 private:
  Sockets& sockets_;
};

}  // namespace digital_id
