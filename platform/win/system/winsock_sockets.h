#pragma once

#include "platform/sockets.h"

namespace digital_id {

// IPv4 TCP sockets through Windows Sockets 2.
class WinsockSockets : public Sockets {
 public:
  // WSAStartup with the version; 0 on success.
  int Startup(std::uint8_t major, std::uint8_t minor) override;
  // WSACleanup.
  void Cleanup() override;
  // socket(AF_INET, SOCK_STREAM, IPPROTO_TCP).
  SocketHandle CreateTcpSocket() override;
  // gethostbyname and its first IPv4 address.
  std::optional<std::uint32_t> ResolveIpv4(const std::string& host) override;
  // ioctlsocket with FIONBIO.
  int SetNonBlocking(SocketHandle socket, bool nonBlocking) override;
  // connect to the address and port.
  int Connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) override;
  // select with the socket in the write and exception sets.
  int WaitForConnection(SocketHandle socket, long seconds, long microseconds) override;
  // getsockopt SO_ERROR.
  int PendingError(SocketHandle socket) override;
  // setsockopt SO_RCVTIMEO as a DWORD of milliseconds.
  int SetReceiveTimeout(SocketHandle socket, std::uint32_t milliseconds) override;
  // setsockopt SO_SNDTIMEO as a DWORD of milliseconds.
  int SetSendTimeout(SocketHandle socket, std::uint32_t milliseconds) override;
  // send with flags 0.
  int Send(SocketHandle socket, const std::uint8_t* data, int length) override;
  // recv with flags 0.
  int Receive(SocketHandle socket, std::uint8_t* buffer, int length) override;
  // closesocket.
  int Close(SocketHandle socket) override;
};

}  // namespace digital_id
