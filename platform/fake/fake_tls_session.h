#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fake/fake_cert_services.h"
#include "platform/lock.h"
#include "platform/tls_session.h"

namespace digital_id::fake {

// One answer of the scripted server to a receive: a result and, when Ok, the message.
struct FakeReceive {
  ReceiveResult result = ReceiveResult::Ok;
  Bytes message;
};

// A TLS engine whose sessions follow one script, shared by every session it makes: the result
// of each handshake, the server's certificate, the result of each send (Ok unless queued
// otherwise) and the answers to the receives in order (ReceiveFailed, as after the receive
// time-out, once they are used up). Set the script before the code under test runs; sessions
// record what they did under a lock, so a test may read it from its own thread afterwards.
class FakeTlsEngine : public TlsEngine {
 public:
  FakeTlsEngine();
  ~FakeTlsEngine() override;
  FakeTlsEngine(const FakeTlsEngine&) = delete;
  FakeTlsEngine& operator=(const FakeTlsEngine&) = delete;

  // A scripted session; null while the engine is not available.
  std::unique_ptr<TlsSession> NewSession() override;

  // --- Script ---
  // False (the start value): NewSession answers null, as when the TLS engine cannot start, so
  // that a run that does not script the secure channel stops before connecting.
  bool available = false;
  // What every handshake answers.
  HandshakeResult handshakeResult = HandshakeResult::Ok;
  // The server's certificate after a successful handshake; nullopt: none.
  std::optional<FakeCertificateData> peerCertificate =
      FakeCertificateData{u"ca.example.test", u"Example Issuing CA", 0, ~0ULL, kSha256RsaOid, "77"};
  // Queues a message the server sends, as one record.
  void QueueMessage(std::string_view message);
  // The same for a message given as bytes (it may hold zero bytes and bytes above 0x7F).
  void QueueMessage(const Bytes& message);
  // Queues a receive that ends without a message (Closed, ReceiveFailed or Unreadable).
  void QueueReceive(ReceiveResult result);
  // Queues the result of the next send that has none queued before it.
  void QueueSendResult(SendResult result);

  // --- Observations ---
  // Every message a send took (those answered Ok), in order.
  std::vector<std::string> SentMessages() const;
  // The target name and the socket of each handshake, in order.
  std::vector<std::u16string> HandshakeTargets() const;
  std::vector<SocketHandle> HandshakeSockets() const;
  // Sessions made, and those not yet closed (closing twice counts once).
  int SessionsCreated() const;
  int LiveSessions() const;
  // Receive calls of every session.
  int ReceiveCalls() const;

 private:
  class Session;

  mutable Lock lock_;
  std::deque<FakeReceive> receives_;
  std::deque<SendResult> sendResults_;
  std::vector<std::string> sent_;
  std::vector<std::u16string> targets_;
  std::vector<SocketHandle> sockets_;
  int created_ = 0;
  int live_ = 0;
  int receiveCalls_ = 0;
};

}  // namespace digital_id::fake
