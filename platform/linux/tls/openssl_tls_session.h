#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/tls/socket_bio.h"
#include "platform/linux/tls/verified_server_anchor.h"
#include "platform/linux/x509/openssl_handles.h"
#include "platform/tls_session.h"

namespace digital_id {

// A TLS 1.2 client connection of OpenSSL directly on the socket. The server's name is announced
// (SNI) and checked, or checked as an address when it is a dotted IPv4 address; its chain is
// verified against the system's default paths plus the extra roots. OpenSSL reads one record at
// a time, so bytes behind a record stay for the next receive.
class OpenSslTlsSession : public TlsSession {
 public:
  // extraTrustedRoots yields DER roots trusted besides the system's; it is asked at each
  // handshake, so a root installed since the last one counts. anchor (null for none) is cleared
  // when a handshake begins and given the root of the chain once the server is verified.
  explicit OpenSslTlsSession(std::function<std::vector<Bytes>()> extraTrustedRoots,
                             VerifiedServerAnchor* anchor = nullptr);
  ~OpenSslTlsSession() override = default;
  OpenSslTlsSession(const OpenSslTlsSession&) = delete;
  OpenSslTlsSession& operator=(const OpenSslTlsSession&) = delete;

  // SSL_connect on the socket; a target name that is empty or not ASCII is refused at once.
  HandshakeResult Handshake(SocketHandle socket, const std::u16string& targetName) override;
  // The server's leaf certificate.
  CertificatePtr PeerCertificate() override;
  // One SSL_write of at most 16,384 bytes, which makes exactly one record.
  SendResult Send(std::span<const std::uint8_t> message) override;
  // One SSL_read, which gives the content of one record.
  ReceiveResult Receive(Bytes& message) override;
  // Frees the connection without a closure alert.
  void Close() override;

 private:
  std::function<std::vector<Bytes>()> extraTrustedRoots_;
  VerifiedServerAnchor* anchor_;
  SocketBioState socket_;
  SslPtr ssl_;
  bool established_ = false;
};

}  // namespace digital_id
