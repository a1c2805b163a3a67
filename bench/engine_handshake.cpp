#include "bench/engine_handshake.h"

#include <arpa/inet.h>

#include <memory>

#include "platform/linux/system/posix_sockets.h"

namespace digital_id::bench {

namespace {

constexpr std::uint32_t kSocketTimeoutMs = 10000;

// A socket closed on destruction.
class OwnedSocket {
 public:
  OwnedSocket() : socket_(sockets_.CreateTcpSocket()) {}
  ~OwnedSocket() { sockets_.Close(socket_); }
  OwnedSocket(const OwnedSocket&) = delete;
  OwnedSocket& operator=(const OwnedSocket&) = delete;

  // Connects to 127.0.0.1:port with send and receive time-outs; false on failure.
  bool Connect(std::uint16_t port) {
    return socket_ != kInvalidSocket &&
           sockets_.Connect(socket_, htonl(INADDR_LOOPBACK), port) == 0 &&
           sockets_.SetReceiveTimeout(socket_, kSocketTimeoutMs) == 0 &&
           sockets_.SetSendTimeout(socket_, kSocketTimeoutMs) == 0;
  }
  SocketHandle Get() const { return socket_; }

 private:
  PosixSockets sockets_;
  SocketHandle socket_;
};

}  // namespace

bool EngineHandshake(TlsEngine& engine, std::uint16_t port, const std::u16string& target) {
  OwnedSocket socket;
  const std::unique_ptr<TlsSession> session = engine.NewSession();
  return session && socket.Connect(port) &&
         session->Handshake(socket.Get(), target) == HandshakeResult::Ok;
}

}  // namespace digital_id::bench
