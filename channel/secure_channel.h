#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/sockets.h"
#include "platform/tls_engine.h"
#include "shell/localised_text.h"

namespace digital_id {

// The connection values of one network phase: the socket, the TLS credentials and context, and
// bytes received behind the last decrypted record, kept for the next receive. Owned by the
// network phase; CloseConnection releases everything, and the destructor releases whatever is
// still held should a path skip it.
struct SecureChannel {
  SocketHandle serverSocket = kInvalidSocket;
  SecHandle credentialHandle;
  SecHandle contextHandle;
  std::vector<std::uint8_t> pendingBytes;

  SecureChannel() = default;
  SecureChannel(const SecureChannel&) = delete;
  SecureChannel& operator=(const SecureChannel&) = delete;
  ~SecureChannel();

  // Frees the credentials, deletes the context and closes the socket; safe to call twice.
  void Release();
  // Deletes the security context if one is held and marks it unset.
  void DeleteContext();
};

// Acquires TLS 1.2 client credentials and connects serverSocket to the issuing server within
// ConnectionTimeout. 1 when connected ("Successfully connected."), else 0 with the connection
// failure texts.
int ConnectToServer(SecureChannel& channel);

// Runs the TLS handshake with the target name of the current mode. 1 when the context is
// complete (nothing written), else 0 with the handshake failure texts.
int PerformHandshake(SecureChannel& channel);

// 1 when the certificate's issuer, as a simple-name string, is exactly CAIssuer; 0 otherwise
// and for a null certificate.
int CheckServerIssuer(const Certificate* certificate);

// The server-authentication step after the handshake: the server's certificate must come from
// CAIssuer. 1 when it does; else 0 with the validation texts in the given language.
int AuthenticateServer(SecureChannel& channel, Language language);

// Sends one 8-bit message as one TLS record, continuing short sends. 1 when sent; else 0 with
// the send failure texts (also for a message that does not fit the send buffer).
int SendSecureMessage(SecureChannel& channel, const std::string& message);

// Receives one TLS record (completing a record that arrived in part, keeping bytes behind it
// for the next call) and returns its content widened byte by byte with sign extension, up to
// its first zero byte. Empty on failure; a receive error shows the receive failure texts.
std::u16string ReceiveSecureMessage(SecureChannel& channel);

// Shuts the connection down: releases credentials, context and socket, ends the thread's use
// of the sockets library and of COM, and enables the four input controls. Returns 0.
int CloseConnection(SecureChannel& channel);

}  // namespace digital_id
