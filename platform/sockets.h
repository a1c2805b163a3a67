#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace digital_id {

// A socket as the platform numbers it (a Winsock SOCKET or a POSIX descriptor).
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~static_cast<SocketHandle>(0);
// Result of a failed socket call.
inline constexpr int kSocketError = -1;

// IPv4 TCP sockets with Winsock semantics.
class Sockets {
 public:
  virtual ~Sockets() = default;

  // Starts the sockets library for the calling thread (WSAStartup); 0 on success.
  virtual int Startup(std::uint8_t major, std::uint8_t minor) = 0;
  // Ends the calling thread's use of the sockets library (WSACleanup).
  virtual void Cleanup() = 0;
  // A new IPv4 TCP stream socket; kInvalidSocket on failure.
  virtual SocketHandle CreateTcpSocket() = 0;
  // The first IPv4 address of a host name or dotted address, in network byte order; nullopt
  // when the name does not resolve.
  virtual std::optional<std::uint32_t> ResolveIpv4(const std::string& host) = 0;
  // Switches non-blocking mode on or off (FIONBIO); 0 on success.
  virtual int SetNonBlocking(SocketHandle socket, bool nonBlocking) = 0;
  // Starts a connection to an IPv4 address (network byte order) and port (host byte order).
  virtual int Connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) = 0;
  // Waits until the socket is writable or has an exception, at most seconds plus microseconds
  // (microseconds below one million). Positive when ready, 0 on time-out, kSocketError on error.
  virtual int WaitForConnection(SocketHandle socket, long seconds, long microseconds) = 0;
  // The socket's pending error (SO_ERROR): 0 when the connection was established.
  virtual int PendingError(SocketHandle socket) = 0;
  // Sets the receive time-out in milliseconds (0: none); 0 on success.
  virtual int SetReceiveTimeout(SocketHandle socket, std::uint32_t milliseconds) = 0;
  // Sets the send time-out in milliseconds (0: none); 0 on success.
  virtual int SetSendTimeout(SocketHandle socket, std::uint32_t milliseconds) = 0;
  // Sends up to length bytes; the count sent, or kSocketError.
  virtual int Send(SocketHandle socket, const std::uint8_t* data, int length) = 0;
  // Receives up to length bytes; the count received, 0 when the peer closed the connection, or
  // kSocketError (also when the receive time-out expired).
  virtual int Receive(SocketHandle socket, std::uint8_t* buffer, int length) = 0;
  // Closes the socket; an invalid socket is refused without harm.
  virtual int Close(SocketHandle socket) = 0;
};

}  // namespace digital_id
