#pragma once

#include <memory>
#include <span>
#include <string>

#include "platform/sockets.h"
#include "platform/tls_session.h"
#include "platform/win/sspi/sspi_channel.h"
#include "platform/win/sspi/sspi_table.h"

namespace digital_id::sspi {

// A TLS session driven through the security-support functions of a TLS 1.2 client package, over
// the sockets boundary: credentials for TLS 1.2 only with the package's own validation of the
// server, the handshake loop, and one record per message in fixed areas (2,032 bytes to send,
// 65,536 to receive).
class SspiTlsSession : public TlsSession {
 public:
  // A session over the package's functions and the sockets that reach the server.
  SspiTlsSession(std::shared_ptr<SspiTable> table, Sockets& sockets);
  ~SspiTlsSession() override;
  SspiTlsSession(const SspiTlsSession&) = delete;
  SspiTlsSession& operator=(const SspiTlsSession&) = delete;

  // Acquires the credentials (a failure there fails the first handshake call) and runs the
  // handshake loop.
  HandshakeResult Handshake(SocketHandle socket, const std::u16string& targetName) override;
  // The certificate the context gives; null without a context.
  CertificatePtr PeerCertificate() override;
  // One record built in the 2,032-byte send area.
  SendResult Send(std::span<const std::uint8_t> message) override;
  // One record gathered in the 65,536-byte receive area.
  ReceiveResult Receive(Bytes& message) override;
  // Frees the credentials and deletes the context.
  void Close() override;

 private:
  std::shared_ptr<SspiTable> table_;
  SspiChannel channel_;
};

// The handshake result for the status the handshake loop ended with: the one place where the
// package's statuses become the session's results.
HandshakeResult HandshakeResultOf(SecStatus status);

}  // namespace digital_id::sspi
