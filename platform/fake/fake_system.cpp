#include "platform/fake/fake_system.h"

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
  std::lock_guard lock(mutex_);
  sleeps_.push_back(milliseconds);
}

bool FakeSystem::StartThread(std::function<void()> body) {
  switch (threadMode) {
    case ThreadMode::Fail:
      return false;
    case ThreadMode::Inline:
      ++threadsStarted_;
      body();
      return true;
    case ThreadMode::Real: {
      std::lock_guard lock(mutex_);
      ++threadsStarted_;
      threads_.emplace_back(std::move(body));
      return true;
    }
  }
  return false;
}

void FakeSystem::ComInitialize() {
  ++comInitialized_;
}

void FakeSystem::ComUninitialize() {
  ++comUninitialized_;
}

std::vector<std::uint32_t> FakeSystem::Sleeps() const {
  std::lock_guard lock(mutex_);
  return sleeps_;
}

void FakeSystem::WaitForThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(threads_);
  }
  for (std::thread& t : threads) {
    if (t.joinable()) t.join();
  }
}

}  // namespace digital_id::fake
