#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/shell/localised_text.h"
#include "core/shell/run_outcome.h"
#include "platform/cert_store.h"
#include "platform/sockets.h"
#include "platform/tls_session.h"

namespace digital_id {

// The connection values of one network phase: the socket and the TLS session over it. Owned by
// the network phase; CloseConnection releases both, and the destructor releases whatever is
// still held should a path skip it.
struct SecureChannel {
  SocketHandle serverSocket = kInvalidSocket;
  std::unique_ptr<TlsSession> session;

  SecureChannel() = default;
  SecureChannel(const SecureChannel&) = delete;
  SecureChannel& operator=(const SecureChannel&) = delete;
  ~SecureChannel();

  // Closes the session and the socket; safe to call twice.
  void Release();
};

// Connects serverSocket to the issuing server within ConnectionTimeout; shows "Successfully
// connected." and goes on, or ends the run with the connection failure texts.
StepEnd ConnectToServer(SecureChannel& channel);

// Runs the TLS handshake with the target name of the current mode; goes on (nothing shown) when
// the connection is secured, else ends the run with the handshake failure texts.
StepEnd PerformHandshake(SecureChannel& channel);

// 1 when the certificate's issuer, as a simple-name string, is exactly CAIssuer; 0 otherwise
// and for a null certificate.
int CheckServerIssuer(const Certificate* certificate);

// The server-authentication step after the handshake: the server's certificate must come from
// CAIssuer. Goes on when it does; else ends the run with the validation texts in the language.
StepEnd AuthenticateServer(SecureChannel& channel, Language language);

// Sends one 8-bit message as one TLS record; goes on when sent, else ends the run with the send
// failure texts.
StepEnd SendSecureMessage(SecureChannel& channel, std::string_view message);

// Receives one TLS record and returns its content widened byte by byte with sign extension, up
// to its first zero byte. Empty on failure; a receive error shows the receive failure texts.
std::u16string ReceiveSecureMessage(SecureChannel& channel);

// Shuts the connection down: closes the session and the socket and ends the thread's use of the
// sockets library and of COM. The run's outcome gives the controls back.
void CloseConnection(SecureChannel& channel);

}  // namespace digital_id
