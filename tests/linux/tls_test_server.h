#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace digital_id::tls_test {

// An `openssl s_server -rev` child process on a free port of 127.0.0.1: every line it receives
// comes back reversed in its own record. Killed and reaped when the object goes away.
class ReversingTlsServer {
 public:
  // Starts the server with extra s_server options (protocol, certificate, key, chain, cipher)
  // and waits until it listens; Port() is 0 when it did not start.
  explicit ReversingTlsServer(const std::vector<std::string>& options);
  ~ReversingTlsServer();
  ReversingTlsServer(const ReversingTlsServer&) = delete;
  ReversingTlsServer& operator=(const ReversingTlsServer&) = delete;

  // The port it listens on; 0 when it failed to start.
  std::uint16_t Port() const { return port_; }
  // What the server printed so far, to explain a failure.
  std::string Log() const;

 private:
  std::filesystem::path logPath_;
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
};

// Options for a TLS 1.2 server presenting certificate (with an optional chain file).
std::vector<std::string> Tls12Options(const std::string& certificate, const std::string& key,
                                      const std::string& chain);

}  // namespace digital_id::tls_test
