#include "tests/support/local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace digital_id::backend_tests {

namespace {

// A stalled connection is released after this long even if the client never gives up, so a
// broken abort fails its test instead of hanging it.
constexpr auto kStallLimit = std::chrono::seconds(20);

void SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t count = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) {
      return;
    }
    sent += static_cast<std::size_t>(count);
  }
}

// The path of the request line; empty when the request is unreadable.
std::string ReadRequestPath(int fd) {
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0) {
      return {};
    }
    request.append(buffer, static_cast<std::size_t>(count));
  }
  const auto first = request.find(' ');
  const auto second = request.find(' ', first + 1);
  if (first == std::string::npos || second == std::string::npos) {
    return {};
  }
  return request.substr(first + 1, second - first - 1);
}

}  // namespace

LocalHttpServer::LocalHttpServer() {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listenFd_ < 0 ||
      ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 16) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LocalHttpServer::~LocalHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (listenFd_ >= 0) {
    ::shutdown(listenFd_, SHUT_RDWR);
  }
  if (acceptor_.joinable()) {
    acceptor_.join();
  }
  for (std::thread& connection : connections_) {
    connection.join();
  }
  if (listenFd_ >= 0) {
    ::close(listenFd_);
  }
}

void LocalHttpServer::Route(const std::string& path, HttpRoute route) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(route);
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool LocalHttpServer::WaitForStalledRequest() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return stalledRequests_ > 0 || stopping_; });
  return stalledRequests_ > 0;
}

void LocalHttpServer::AcceptLoop() {
  while (!stopping_) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (stopping_) {
        return;
      }
      continue;
    }
    // Only this thread adds connections; the destructor joins them after joining it.
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

void LocalHttpServer::Serve(int fd) {
  const std::string path = ReadRequestPath(fd);
  HttpRoute route{404, "not found", "", false};
  {
    std::unique_lock lock(mutex_);
    if (const auto found = routes_.find(path); found != routes_.end()) {
      route = found->second;
    }
    if (route.stall) {
      ++stalledRequests_;
      changed_.notify_all();
      changed_.wait_for(lock, kStallLimit, [this] { return stopping_.load(); });
    }
  }
  if (!route.stall) {
    std::string head = "HTTP/1.0 " + std::to_string(route.status) + " Test\r\n";
    head += "Content-Length: " + std::to_string(route.body.size()) + "\r\n";
    if (!route.location.empty()) {
      head += "Location: " + route.location + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    SendAll(fd, head + route.body);
  }
  ::close(fd);
}

}  // namespace digital_id::backend_tests
