#include "socket_io.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace digital_id::test_server {

WaitResult WaitForSocket(int fd, short events, const StopSignal& stop, Clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return WaitResult::TimedOut;
    pollfd entries[2] = {{fd, events, 0}, {stop.Fd(), POLLIN, 0}};
    const int ready = ::poll(entries, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) return WaitResult::Stopped;  // poll itself broke: give up
    if (ready <= 0) continue;
    if (entries[1].revents != 0) return WaitResult::Stopped;
    if (entries[0].revents != 0) return WaitResult::Ready;
  }
}

bool SendAll(int fd, std::string_view bytes, const StopSignal& stop, Clock::time_point deadline) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (WaitForSocket(fd, POLLOUT, stop, deadline) != WaitResult::Ready) return false;
      continue;
    }
    return false;
  }
  return true;
}

std::optional<UniqueFd> ListenOnLoopback(std::uint16_t port, std::string& error) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    error = std::string("socket: ") + std::strerror(errno);
    return std::nullopt;
  }
  const int on = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    error = "bind 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (::listen(fd.Get(), 64) != 0) {
    error = std::string("listen: ") + std::strerror(errno);
    return std::nullopt;
  }
  return fd;
}

std::uint16_t LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

}  // namespace digital_id::test_server
