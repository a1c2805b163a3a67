#include "connection_pool.h"

#include <system_error>

namespace digital_id::test_server {

bool ConnectionPool::Launch(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  ReapFinishedLocked();
  if (workers_.size() >= limit_) return false;
  auto done = std::make_shared<std::atomic<bool>>(false);
  try {
    std::thread thread([task = std::move(task), done] {
      task();
      done->store(true);
    });
    workers_.push_back(Worker{std::move(thread), std::move(done)});
  } catch (const std::system_error&) {
    return false;  // no thread could be made: the connection is dropped, the server goes on
  }
  return true;
}

void ConnectionPool::JoinAll() {
  std::list<Worker> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (Worker& worker : workers) {
    if (worker.thread.joinable()) worker.thread.join();
  }
}

void ConnectionPool::ReapFinishedLocked() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace digital_id::test_server
