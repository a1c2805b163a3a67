#include "platform/fake/fake_system.h"

#include <utility>

#include "platform/std_system_thread.h"

namespace digital_id::fake {

FakeSystem::~FakeSystem() {
  WaitForThreads();
}

std::optional<std::uint32_t> FakeSystem::OsMajorVersion() {
  return osMajor;
}

std::u16string FakeSystem::CurrentDirectory(std::size_t bufferChars) {
  return currentDirectory.size() < bufferChars ? currentDirectory : std::u16string();
}

std::u16string FakeSystem::ComputerName(std::size_t bufferChars) {
  return computerName.substr(0, bufferChars == 0 ? 0 : bufferChars - 1);
}

std::u16string FakeSystem::UserName(std::size_t bufferChars) {
  return userName.substr(0, bufferChars == 0 ? 0 : bufferChars - 1);
}

std::uint64_t FakeSystem::SystemTimeAsFileTime() {
  return now.load();
}

void FakeSystem::Sleep(std::uint32_t milliseconds) {
  std::lock_guard lock(lock_);
  sleeps_.push_back(milliseconds);
}

// A thread of the fake: an inline body that has already run, or a real thread. Detaching a real
// one hands it to the FakeSystem, whose WaitForThreads joins it.
class FakeThread : public SystemThread {
 public:
  FakeThread(FakeSystem& system, std::unique_ptr<SystemThread> real)
      : system_(system), real_(std::move(real)) {}

  bool WaitForEnd(std::uint32_t milliseconds) override {
    if (detached_) return false;
    return real_ ? real_->WaitForEnd(milliseconds) : true;
  }
  void Detach() override {
    detached_ = true;
    if (real_) system_.Adopt(std::move(real_));
  }

 private:
  FakeSystem& system_;
  std::unique_ptr<SystemThread> real_;  // null for an inline body
  bool detached_ = false;
};

std::unique_ptr<SystemThread> FakeSystem::StartThread(std::function<void()> body) {
  switch (threadMode) {
    case ThreadMode::Fail:
      return nullptr;
    case ThreadMode::Inline:
      ++threadsStarted_;
      body();
      return std::make_unique<FakeThread>(*this, nullptr);
    case ThreadMode::Real: {
      std::unique_ptr<SystemThread> real = StartStdSystemThread(std::move(body));
      if (!real) return nullptr;
      ++threadsStarted_;
      return std::make_unique<FakeThread>(*this, std::move(real));
    }
  }
  return nullptr;
}

void FakeSystem::ComInitialize() {
  ++comInitialized_;
}

void FakeSystem::ComUninitialize() {
  ++comUninitialized_;
}

std::vector<std::uint32_t> FakeSystem::Sleeps() const {
  std::lock_guard lock(lock_);
  return sleeps_;
}

void FakeSystem::Adopt(std::unique_ptr<SystemThread> thread) {
  std::lock_guard lock(lock_);
  detached_.push_back(std::move(thread));
}

void FakeSystem::WaitForThreads() {
  std::vector<std::unique_ptr<SystemThread>> threads;
  {
    std::lock_guard lock(lock_);
    threads.swap(detached_);
  }
  threads.clear();  // each destructor joins its thread
}

}  // namespace digital_id::fake
