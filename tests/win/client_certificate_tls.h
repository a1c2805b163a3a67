#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <string>

namespace digital_id::wine_test {

// What one TLS exchange with a client certificate gave.
struct TlsExchange {
  bool completed = false;  // handshake, request sent, reply read until the server closed
  std::string reply;       // the decrypted bytes the server sent
  std::string failure;     // the step that failed, when not completed
};

// Connects to 127.0.0.1:port, runs a TLS 1.2 handshake through Schannel presenting certificate
// as the client's (SCHANNEL_CRED.paCred; the server's own certificate is not checked), sends
// request and reads the reply until the server closes the connection.
TlsExchange ExchangeWithClientCertificate(unsigned short port, PCCERT_CONTEXT certificate,
                                          const std::string& request);

}  // namespace digital_id::wine_test
