#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace digital_id::tls_test {

// A descriptor closed on destruction.
class Descriptor {
 public:
  explicit Descriptor(int value = -1) : value_(value) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return value_; }
  void Reset() {
    if (value_ >= 0) {
      ::close(value_);
    }
    value_ = -1;
  }

 private:
  int value_;
};

// A TCP socket bound to a free port of 127.0.0.1; listening only when asked, so that without
// listening every connection to its port is refused.
class LoopbackPeer {
 public:
  explicit LoopbackPeer(bool listening) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(socket_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (listening && listen(socket_.Get(), 4) != 0)) {
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  std::uint16_t Port() const { return port_; }
  int Accept() { return ::accept(socket_.Get(), nullptr, nullptr); }

 private:
  Descriptor socket_;
  std::uint16_t port_ = 0;
};

}  // namespace digital_id::tls_test
