#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/system.h"

namespace digital_id {

// A SystemThread over std::thread, for the Linux backend and the test fakes (the Windows
// programs start theirs with CreateThread). The end of the body is signalled through a condition
// variable, so that a wait for it can have a time limit.
class StdSystemThread : public SystemThread {
 public:
  // Starts body on a new thread; throws std::system_error when the system refuses one.
  explicit StdSystemThread(std::function<void()> body)
      : thread_([end = end_, body = std::move(body)] {
          body();
          {
            std::lock_guard lock(end->mutex);
            end->hasEnded = true;
          }
          end->ended.notify_all();
        }) {}
  StdSystemThread(const StdSystemThread&) = delete;
  StdSystemThread& operator=(const StdSystemThread&) = delete;
  // Joins the thread unless it was detached.
  ~StdSystemThread() override {
    if (thread_.joinable()) thread_.join();
  }

  bool WaitForEnd(std::uint32_t milliseconds) override {
    if (!thread_.joinable()) return false;
    std::unique_lock lock(end_->mutex);
    if (milliseconds == kWaitWithoutLimit) {
      end_->ended.wait(lock, [this] { return end_->hasEnded; });
      return true;
    }
    return end_->ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [this] { return end_->hasEnded; });
  }

  void Detach() override {
    if (thread_.joinable()) thread_.detach();
  }

 private:
  // Shared with the body, which may outlive this object once detached.
  struct EndSignal {
    std::mutex mutex;
    std::condition_variable ended;
    bool hasEnded = false;
  };
  std::shared_ptr<EndSignal> end_ = std::make_shared<EndSignal>();
  std::thread thread_;
};

// A StdSystemThread running body; null when the system refuses a thread or memory runs out.
inline std::unique_ptr<SystemThread> StartStdSystemThread(std::function<void()> body) {
  try {
    return std::make_unique<StdSystemThread>(std::move(body));
  } catch (const std::system_error&) {
    return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace digital_id
