#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/x509/openssl_handles.h"
#include "platform/sockets.h"
#include "tools/test-server/demo_pki.h"

namespace digital_id::tls_test {

// The test issuing server's demo PKI, made once per test program in a temporary folder, with
// copies of its server certificate that must be refused: expired, and for wrong.example only.
struct TestPki {
  // The PKI of this test program, made on first use.
  static const TestPki& Get();

  test_server::DemoPki demo;
  X509Ptr expiredServer;
  X509Ptr wrongNameServer;
  Bytes rootDer;
};

// A TLS server inside the test process on one end of a connected socket pair; the other end is
// the client's. It presents a certificate with its key and a chain, speaks only TLS
// 1.minorVersion, and each read is bounded so that no test can hang on it.
class LocalTlsServer {
 public:
  LocalTlsServer(X509* certificate, EVP_PKEY* key, std::vector<X509*> chain, int minorVersion = 2);
  ~LocalTlsServer();
  LocalTlsServer(const LocalTlsServer&) = delete;
  LocalTlsServer& operator=(const LocalTlsServer&) = delete;

  // The client's end of the connection.
  SocketHandle ClientSocket() const { return static_cast<SocketHandle>(client_); }
  // Runs the server's handshake on a thread, sending firstMessage (if any) right behind it.
  void StartHandshake(std::string firstMessage = {});
  // Waits for the handshake thread; true when the server completed its handshake.
  bool FinishHandshake();
  // The alert the server received from the client during a failed handshake; -1 for none.
  int ReceivedAlert() const { return receivedAlert_; }

  // message as the wire bytes of one record, not sent.
  Bytes Seal(std::string_view message);
  // Puts bytes on the wire as they are, in one send.
  bool SendRaw(const Bytes& bytes);
  // The content of the next record from the client; empty on failure.
  std::string Read();
  // Sends the server's closure alert.
  void SendCloseNotify();
  // Closes the client's end, as its owner does after the session.
  void CloseClientEnd();
  // Closes the server's end without a closure alert.
  void CloseServerEnd();
  // Every byte the server end receives until the client's end is closed.
  Bytes RawBytesUntilClosed();

 private:
  int server_ = -1;
  int client_ = -1;
  SslCtxPtr context_;
  SslPtr ssl_;
  std::thread handshake_;
  bool accepted_ = false;
  int receivedAlert_ = -1;
};

}  // namespace digital_id::tls_test
