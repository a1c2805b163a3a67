#include "platform/fake/fake_tls_session.h"

namespace digital_id::fake {

// A session over the engine's script.
class FakeTlsEngine::Session : public TlsSession {
 public:
  explicit Session(FakeTlsEngine& engine) : engine_(engine) {}
  ~Session() override { Close(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  HandshakeResult Handshake(SocketHandle socket, const std::u16string& targetName) override {
    std::lock_guard lock(engine_.lock_);
    engine_.targets_.push_back(targetName);
    engine_.sockets_.push_back(socket);
    established_ = engine_.handshakeResult == HandshakeResult::Ok;
    return engine_.handshakeResult;
  }

  CertificatePtr PeerCertificate() override {
    std::lock_guard lock(engine_.lock_);
    if (!established_ || !engine_.peerCertificate) return nullptr;
    return std::make_unique<FakeCertificate>(*engine_.peerCertificate);
  }

  SendResult Send(std::span<const std::uint8_t> message) override {
    std::lock_guard lock(engine_.lock_);
    if (!established_) return SendResult::EncryptFailed;
    SendResult result = SendResult::Ok;
    if (!engine_.sendResults_.empty()) {
      result = engine_.sendResults_.front();
      engine_.sendResults_.pop_front();
    }
    if (result == SendResult::Ok) engine_.sent_.emplace_back(message.begin(), message.end());
    return result;
  }

  ReceiveResult Receive(Bytes& message) override {
    std::lock_guard lock(engine_.lock_);
    ++engine_.receiveCalls_;
    message.clear();
    if (!established_) return ReceiveResult::Unreadable;
    if (engine_.receives_.empty()) return ReceiveResult::ReceiveFailed;
    FakeReceive next = std::move(engine_.receives_.front());
    engine_.receives_.pop_front();
    message = std::move(next.message);
    return next.result;
  }

  void Close() override {
    std::lock_guard lock(engine_.lock_);
    if (!closed_) --engine_.live_;
    closed_ = true;
    established_ = false;
  }

 private:
  FakeTlsEngine& engine_;
  bool established_ = false;
  bool closed_ = false;
};

FakeTlsEngine::FakeTlsEngine() = default;
FakeTlsEngine::~FakeTlsEngine() = default;

std::unique_ptr<TlsSession> FakeTlsEngine::NewSession() {
  if (!available) return nullptr;
  std::lock_guard lock(lock_);
  ++created_;
  ++live_;
  return std::make_unique<Session>(*this);
}

void FakeTlsEngine::QueueMessage(std::string_view message) {
  QueueMessage(Bytes(message.begin(), message.end()));
}

void FakeTlsEngine::QueueMessage(const Bytes& message) {
  std::lock_guard lock(lock_);
  receives_.push_back({ReceiveResult::Ok, message});
}

void FakeTlsEngine::QueueReceive(ReceiveResult result) {
  std::lock_guard lock(lock_);
  receives_.push_back({result, {}});
}

void FakeTlsEngine::QueueSendResult(SendResult result) {
  std::lock_guard lock(lock_);
  sendResults_.push_back(result);
}

std::vector<std::string> FakeTlsEngine::SentMessages() const {
  std::lock_guard lock(lock_);
  return sent_;
}

std::vector<std::u16string> FakeTlsEngine::HandshakeTargets() const {
  std::lock_guard lock(lock_);
  return targets_;
}

std::vector<SocketHandle> FakeTlsEngine::HandshakeSockets() const {
  std::lock_guard lock(lock_);
  return sockets_;
}

int FakeTlsEngine::SessionsCreated() const {
  std::lock_guard lock(lock_);
  return created_;
}

int FakeTlsEngine::LiveSessions() const {
  std::lock_guard lock(lock_);
  return live_;
}

int FakeTlsEngine::ReceiveCalls() const {
  std::lock_guard lock(lock_);
  return receiveCalls_;
}

}  // namespace digital_id::fake
