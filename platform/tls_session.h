#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/cert_store.h"
#include "platform/sockets.h"

namespace digital_id {

// How a handshake ended.
enum class HandshakeResult {
  Ok,                  // the connection is secured and the server's chain and name were accepted
  CertificateRefused,  // the server's certificate did not verify (chain, validity or name)
  Failed,              // anything else: the socket failed or closed, the peer spoke no TLS 1.2
};

// How sending one message ended.
enum class SendResult {
  Ok,             // the message went to the socket as one TLS record
  EncryptFailed,  // no record could be made of it (too long, or the engine failed); nothing sent
  SendFailed,     // the socket failed, accepted nothing or the send time-out expired
};

// How receiving one message ended.
enum class ReceiveResult {
  Ok,             // the message holds the content of one record
  Closed,         // the server closed the connection (or sent its closure alert) first
  ReceiveFailed,  // the socket failed or the receive time-out expired
  Unreadable,     // a record arrived that does not decrypt, is too long or carries no data
};

// One TLS 1.2 client connection over a connected socket that stays the caller's. Every call
// blocks, bounded by the socket's send and receive time-outs. A message is exactly one TLS record
// each way: a record that arrives in pieces is completed by further reads, and bytes that arrive
// behind a record are kept for the next receive.
class TlsSession {
 public:
  virtual ~TlsSession() = default;

  // Runs the handshake on the connected socket as a client without a client certificate. The
  // server's chain must lead to a trusted root (the system's, and the Root stores this program
  // installs to) and its certificate must carry targetName (a host name, or a dotted IPv4
  // address checked as an address). On a refusal the server is sent the alert it is owed.
  virtual HandshakeResult Handshake(SocketHandle socket, const std::u16string& targetName) = 0;
  // The certificate the server presented for itself; null before a successful handshake.
  virtual CertificatePtr PeerCertificate() = 0;
  // Sends message as one record.
  virtual SendResult Send(std::span<const std::uint8_t> message) = 0;
  // Receives the next record and gives its content in message (empty unless Ok).
  virtual ReceiveResult Receive(Bytes& message) = 0;
  // Releases the session's TLS state. No closure alert is sent and the socket stays open. Safe to
  // call twice; the destructor does it too.
  virtual void Close() = 0;
};

// The platform's TLS client.
class TlsEngine {
 public:
  virtual ~TlsEngine() = default;

  // A new session, not yet connected; null when the TLS engine cannot be started.
  virtual std::unique_ptr<TlsSession> NewSession() = 0;
};

}  // namespace digital_id
