#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace digital_id::backend_tests {

// What the server answers for one path.
struct HttpRoute {
  int status = 200;
  std::string body;
  std::string location;  // a Location header when not empty
  bool stall = false;    // read the request, then send nothing until the server stops
};

// A minimal HTTP/1.0 server on 127.0.0.1 with a free port, one thread per connection.
class LocalHttpServer {
 public:
  // Starts listening; Port() is 0 when that failed.
  LocalHttpServer();
  // Stops, releasing stalled connections, and joins every thread.
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // Sets the answer for a path; unknown paths answer 404.
  void Route(const std::string& path, HttpRoute route);
  std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port><path>".
  std::string Url(const std::string& path) const;
  // Blocks until a request for a stalling route has arrived (false when the server stopped).
  bool WaitForStalledRequest();

 private:
  void AcceptLoop();
  void Serve(int fd);

  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, HttpRoute> routes_;
  int stalledRequests_ = 0;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace digital_id::backend_tests
