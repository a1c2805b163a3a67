#include "platform/linux/system/posix_sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>

namespace digital_id {

namespace {

// The descriptor behind a handle; -1 for handles no descriptor can have.
int Descriptor(SocketHandle socket) {
  return socket > static_cast<SocketHandle>(INT_MAX) ? -1 : static_cast<int>(socket);
}

// Sets a socket time-out option from milliseconds.
int SetTimeout(SocketHandle socket, int option, std::uint32_t milliseconds) {
  const int descriptor = Descriptor(socket);
  if (descriptor < 0) {
    return kSocketError;
  }
  timeval value{};
  value.tv_sec = static_cast<time_t>(milliseconds / 1000);
  value.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  return setsockopt(descriptor, SOL_SOCKET, option, &value, sizeof value) == 0 ? 0 : kSocketError;
}

// Releases a getaddrinfo result.
struct AddrInfoDeleter {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

}  // namespace

int PosixSockets::Startup(std::uint8_t, std::uint8_t) {
  return 0;
}

void PosixSockets::Cleanup() {}

SocketHandle PosixSockets::CreateTcpSocket() {
  const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return descriptor < 0 ? kInvalidSocket : static_cast<SocketHandle>(descriptor);
}

std::optional<std::uint32_t> PosixSockets::ResolveIpv4(const std::string& host) {
  if (host.empty()) {
    return std::nullopt;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* raw = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &raw) != 0) {
    return std::nullopt;
  }
  const std::unique_ptr<addrinfo, AddrInfoDeleter> results(raw);
  for (const addrinfo* entry = results.get(); entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr &&
        entry->ai_addrlen >= sizeof(sockaddr_in)) {
      sockaddr_in address{};
      std::memcpy(&address, entry->ai_addr, sizeof address);
      return address.sin_addr.s_addr;
    }
  }
  return std::nullopt;
}

int PosixSockets::SetNonBlocking(SocketHandle socket, bool nonBlocking) {
  const int descriptor = Descriptor(socket);
  const int flags = descriptor < 0 ? -1 : fcntl(descriptor, F_GETFL);
  if (flags < 0) {
    return kSocketError;
  }
  const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return fcntl(descriptor, F_SETFL, wanted) == 0 ? 0 : kSocketError;
}

int PosixSockets::Connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
  const int descriptor = Descriptor(socket);
  if (descriptor < 0) {
    return kSocketError;
  }
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  return ::connect(descriptor, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0
             ? 0
             : kSocketError;
}

int PosixSockets::WaitForConnection(SocketHandle socket, long seconds, long microseconds) {
  const int descriptor = Descriptor(socket);
  if (descriptor < 0) {
    return kSocketError;
  }
  // poll has no descriptor-number limit, unlike an fd_set; an error or hang-up on the socket
  // counts as ready, as the exception set does for a failed connection attempt.
  using Clock = std::chrono::steady_clock;
  // Both parts are capped (at about thirty years each) so the deadline cannot overflow.
  constexpr long kLongestPart = 1000000000L;
  const auto wait =
      std::chrono::seconds(std::clamp(seconds, 0L, kLongestPart)) +
      std::chrono::microseconds(std::clamp(microseconds, 0L, kLongestPart * 1000000L));
  const auto deadline = Clock::now() + wait;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    const long long nanoseconds = left.count() < 0 ? 0 : left.count();
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(nanoseconds / 1000000000LL);
    timeout.tv_nsec = static_cast<long>(nanoseconds % 1000000000LL);
    pollfd entry{descriptor, POLLOUT, 0};
    const int ready = ppoll(&entry, 1, &timeout, nullptr);
    if (ready >= 0) {
      return ready;
    }
    if (errno != EINTR) {
      return kSocketError;
    }
  }
}

int PosixSockets::PendingError(SocketHandle socket) {
  const int descriptor = Descriptor(socket);
  if (descriptor < 0) {
    return EBADF;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
    return errno != 0 ? errno : EBADF;
  }
  return error;
}

int PosixSockets::SetReceiveTimeout(SocketHandle socket, std::uint32_t milliseconds) {
  return SetTimeout(socket, SO_RCVTIMEO, milliseconds);
}

int PosixSockets::SetSendTimeout(SocketHandle socket, std::uint32_t milliseconds) {
  return SetTimeout(socket, SO_SNDTIMEO, milliseconds);
}

int PosixSockets::Send(SocketHandle socket, const std::uint8_t* data, int length) {
  const int descriptor = Descriptor(socket);
  if (descriptor < 0 || length < 0 || (data == nullptr && length > 0)) {
    return kSocketError;
  }
  for (;;) {
    const ssize_t sent = ::send(descriptor, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (sent >= 0) {
      return static_cast<int>(sent);
    }
    if (errno != EINTR) {
      return kSocketError;
    }
  }
}

int PosixSockets::Receive(SocketHandle socket, std::uint8_t* buffer, int length) {
  const int descriptor = Descriptor(socket);
  if (descriptor < 0 || length < 0 || (buffer == nullptr && length > 0)) {
    return kSocketError;
  }
  for (;;) {
    const ssize_t received = ::recv(descriptor, buffer, static_cast<std::size_t>(length), 0);
    if (received >= 0) {
      return static_cast<int>(received);
    }
    // EAGAIN after SO_RCVTIMEO is the time-out: a failure, as on Windows.
    if (errno != EINTR) {
      return kSocketError;
    }
  }
}

int PosixSockets::Close(SocketHandle socket) {
  const int descriptor = Descriptor(socket);
  if (descriptor < 0) {
    return kSocketError;
  }
  return ::close(descriptor) == 0 ? 0 : kSocketError;
}

}  // namespace digital_id
