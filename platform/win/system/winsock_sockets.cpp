#include "platform/win/system/winsock_sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace digital_id {

namespace {

SOCKET Native(SocketHandle socket) {
  return static_cast<SOCKET>(socket);
}

// Winsock answers SOCKET_ERROR (-1) for every failed call, as the boundary does.
int Result(int winsockResult) {
  return winsockResult == SOCKET_ERROR ? kSocketError : winsockResult;
}

int SetTimeout(SocketHandle socket, int option, std::uint32_t milliseconds) {
  const DWORD value = milliseconds;
  return Result(setsockopt(Native(socket), SOL_SOCKET, option,
                           reinterpret_cast<const char*>(&value), sizeof(value)));
}

}  // namespace

int WinsockSockets::Startup(std::uint8_t major, std::uint8_t minor) {
  WSADATA data{};
  return WSAStartup(MAKEWORD(major, minor), &data);
}

void WinsockSockets::Cleanup() {
  WSACleanup();
}

SocketHandle WinsockSockets::CreateTcpSocket() {
  const SOCKET created = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return created == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(created);
}

std::optional<std::uint32_t> WinsockSockets::ResolveIpv4(const std::string& host) {
  const hostent* entry = gethostbyname(host.c_str());
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr) {
    return std::nullopt;
  }
  in_addr address{};
  address.s_addr = *reinterpret_cast<const u_long*>(entry->h_addr_list[0]);
  return static_cast<std::uint32_t>(address.s_addr);
}

int WinsockSockets::SetNonBlocking(SocketHandle socket, bool nonBlocking) {
  u_long mode = nonBlocking ? 1 : 0;
  return Result(ioctlsocket(Native(socket), FIONBIO, &mode));
}

int WinsockSockets::Connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  server.sin_addr.s_addr = address;
  return Result(
      connect(Native(socket), reinterpret_cast<const sockaddr*>(&server), sizeof(server)));
}

int WinsockSockets::WaitForConnection(SocketHandle socket, long seconds, long microseconds) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(Native(socket), &writable);
  FD_SET(Native(socket), &failed);
  timeval wait{};
  wait.tv_sec = seconds;
  wait.tv_usec = microseconds;
  return Result(select(0, nullptr, &writable, &failed, &wait));
}

int WinsockSockets::PendingError(SocketHandle socket) {
  int error = 0;
  int size = sizeof(error);
  if (getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) ==
      SOCKET_ERROR) {
    return WSAGetLastError();
  }
  return error;
}

int WinsockSockets::SetReceiveTimeout(SocketHandle socket, std::uint32_t milliseconds) {
  return SetTimeout(socket, SO_RCVTIMEO, milliseconds);
}

int WinsockSockets::SetSendTimeout(SocketHandle socket, std::uint32_t milliseconds) {
  return SetTimeout(socket, SO_SNDTIMEO, milliseconds);
}

int WinsockSockets::Send(SocketHandle socket, const std::uint8_t* data, int length) {
  return Result(send(Native(socket), reinterpret_cast<const char*>(data), length, 0));
}

int WinsockSockets::Receive(SocketHandle socket, std::uint8_t* buffer, int length) {
  return Result(recv(Native(socket), reinterpret_cast<char*>(buffer), length, 0));
}

int WinsockSockets::Close(SocketHandle socket) {
  if (socket == kInvalidSocket) {
    return kSocketError;
  }
  return Result(closesocket(Native(socket)));
}

}  // namespace digital_id
