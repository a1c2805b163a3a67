#pragma once

#include "platform/sockets.h"

namespace digital_id::fake {

// Sockets that refuse everything; the secure-channel tests replace this with a scripted peer.
class FakeSockets : public Sockets {
 public:
  int Startup(std::uint8_t, std::uint8_t) override { return startupResult; }
  void Cleanup() override { ++cleanups; }
  SocketHandle CreateTcpSocket() override { return kInvalidSocket; }
  std::optional<std::uint32_t> ResolveIpv4(const std::string&) override { return std::nullopt; }
  int SetNonBlocking(SocketHandle, bool) override { return kSocketError; }
  int Connect(SocketHandle, std::uint32_t, std::uint16_t) override { return kSocketError; }
  int WaitForConnection(SocketHandle, long, long) override { return kSocketError; }
  int PendingError(SocketHandle) override { return 1; }
  int SetReceiveTimeout(SocketHandle, std::uint32_t) override { return kSocketError; }
  int SetSendTimeout(SocketHandle, std::uint32_t) override { return kSocketError; }
  int Send(SocketHandle, const std::uint8_t*, int) override { return kSocketError; }
  int Receive(SocketHandle, std::uint8_t*, int) override { return kSocketError; }
  int Close(SocketHandle) override { return kSocketError; }

  int startupResult = 0;
  int cleanups = 0;
};

}  // namespace digital_id::fake
