#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace digital_id::test_server {

// Runs each accepted connection on a thread of its own, at most a fixed number at once, and
// joins every thread it started (finished ones as new ones come, the rest in JoinAll).
class ConnectionPool {
 public:
  // limit: the most threads that may run at once.
  explicit ConnectionPool(std::size_t limit) : limit_(limit) {}
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;
  ~ConnectionPool() { JoinAll(); }

  // Starts task on a new thread; false (task not run) when the limit is reached or no thread
  // could be made.
  bool Launch(std::function<void()> task);
  // Waits for every thread started so far.
  void JoinAll();

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void ReapFinishedLocked();

  const std::size_t limit_;
  std::mutex mutex_;
  std::list<Worker> workers_;
};

}  // namespace digital_id::test_server
