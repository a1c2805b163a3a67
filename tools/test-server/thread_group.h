#pragma once

#include <functional>
#include <thread>
#include <vector>

#include "stop_signal.h"

namespace digital_id::test_server {

// The server's long-running threads. Leaving scope, however it happens, stops the server and
// joins every thread, so no thread outlives what it uses.
class ThreadGroup {
 public:
  explicit ThreadGroup(const StopSignal& stop) : stop_(stop) {}
  ThreadGroup(const ThreadGroup&) = delete;
  ThreadGroup& operator=(const ThreadGroup&) = delete;
  ~ThreadGroup() { StopAndJoin(); }

  // Starts body on a new thread (throws std::system_error when none can be made).
  void Start(std::function<void()> body) { threads_.emplace_back(std::move(body)); }
  // Triggers the stop signal and waits for every thread.
  void StopAndJoin() {
    stop_.Trigger();
    for (std::thread& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
    threads_.clear();
  }

 private:
  const StopSignal& stop_;
  std::vector<std::thread> threads_;
};

}  // namespace digital_id::test_server
