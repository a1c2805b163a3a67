#pragma once

#include <cstdint>
#include <string>

#include "platform/cert_store.h"
#include "platform/linux/posix_sockets.h"
#include "platform/tls_engine.h"

namespace digital_id::tls_test {

// Outcome of a handshake driven the way the secure channel drives it.
struct HandshakeResult {
  SecStatus status = kSecEInternalError;
  int incompleteAnswers = 0;            // kSecEIncompleteMessage answers along the way
  bool untouchedWhenIncomplete = true;  // every such answer left the held bytes as they were
  Bytes lastToken;  // the last token the engine handed out (an alert on failure)
  std::uint32_t lastAttributes = 0;
};

// A client connection to 127.0.0.1:port over PosixSockets with credentials from an engine,
// released (context, credentials, socket) when the object goes away.
class TlsTestConnection {
 public:
  TlsTestConnection(SecurityInterface& engine, std::uint16_t port);
  ~TlsTestConnection();
  TlsTestConnection(const TlsTestConnection&) = delete;
  TlsTestConnection& operator=(const TlsTestConnection&) = delete;

  // True when the TCP connection and the credentials are in place.
  bool IsConnected() const { return connected_; }
  // Runs the handshake for a target name; byteByByte hands the engine one more received byte
  // at a time, so every record first arrives incomplete.
  HandshakeResult Handshake(const std::u16string& targetName, bool byteByByte = false);
  // The established context.
  SecHandle* Context() { return &context_; }
  // Sends bytes whole; false when the socket fails.
  bool SendAll(const std::uint8_t* data, std::size_t size);
  // Receives until the held bytes start with count whole records; those bytes (and whatever
  // came behind them) are returned and no longer held. Empty when the socket fails first.
  Bytes ReceiveRecords(std::size_t count);
  // Encrypts a message as one record and sends it; false when either fails.
  bool SendMessage(const std::string& message);

 private:
  // Sends an engine token and frees it.
  bool SendToken(SecBuffer& token, HandshakeResult& result);
  // Appends what one receive yields to held_; false when the socket fails or closes.
  bool ReceiveMore();

  SecurityInterface& engine_;
  PosixSockets sockets_;
  SocketHandle socket_ = kInvalidSocket;
  SecHandle credential_;
  SecHandle context_;
  bool connected_ = false;
  Bytes held_;
};

}  // namespace digital_id::tls_test
