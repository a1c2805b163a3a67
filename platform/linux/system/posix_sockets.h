#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/sockets.h"

namespace digital_id {

// IPv4 TCP sockets on POSIX descriptors, with the results the Winsock calls give.
class PosixSockets : public Sockets {
 public:
  // Nothing to start on POSIX systems: always 0.
  int Startup(std::uint8_t major, std::uint8_t minor) override;
  // Nothing to end on POSIX systems.
  void Cleanup() override;
  // A new close-on-exec IPv4 TCP socket; kInvalidSocket on failure.
  SocketHandle CreateTcpSocket() override;
  // The first IPv4 address getaddrinfo gives for host, in network byte order.
  std::optional<std::uint32_t> ResolveIpv4(const std::string& host) override;
  // Sets or clears O_NONBLOCK; 0 on success.
  int SetNonBlocking(SocketHandle socket, bool nonBlocking) override;
  // 0 when connected at once; kSocketError otherwise (also while a non-blocking one proceeds).
  int Connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) override;
  // Waits for writability or an error; microseconds of a million or more carry into seconds.
  int WaitForConnection(SocketHandle socket, long seconds, long microseconds) override;
  // SO_ERROR of the socket (cleared by the query); an errno value when it cannot be read.
  int PendingError(SocketHandle socket) override;
  // SO_RCVTIMEO in milliseconds; 0 on success.
  int SetReceiveTimeout(SocketHandle socket, std::uint32_t milliseconds) override;
  // SO_SNDTIMEO in milliseconds; 0 on success.
  int SetSendTimeout(SocketHandle socket, std::uint32_t milliseconds) override;
  // One send without SIGPIPE; the count sent or kSocketError (also when the time-out expired).
  int Send(SocketHandle socket, const std::uint8_t* data, int length) override;
  // One receive; the count, 0 when the peer closed, kSocketError on error or time-out.
  int Receive(SocketHandle socket, std::uint8_t* buffer, int length) override;
  // Closes the descriptor; kSocketError for an invalid one.
  int Close(SocketHandle socket) override;
};

}  // namespace digital_id
