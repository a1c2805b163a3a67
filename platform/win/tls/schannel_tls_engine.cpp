#include "platform/win/tls/schannel_tls_engine.h"

#include "platform/win/sspi/sspi_tls_session.h"
#include "platform/win/tls/schannel_table.h"

namespace digital_id {

std::unique_ptr<TlsSession> SchannelTlsEngine::NewSession() {
  PSecurityFunctionTableW table = ::InitSecurityInterfaceW();
  if (table == nullptr) {
    return nullptr;
  }
  return std::make_unique<sspi::SspiTlsSession>(std::make_shared<sspi::SchannelTable>(table),
                                                sockets_);
}

}  // namespace digital_id
