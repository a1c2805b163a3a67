#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "platform/system.h"

namespace digital_id::fake {

// How FakeSystem::StartThread runs a thread body.
enum class ThreadMode {
  Inline,  // runs the body before StartThread returns (deterministic unit tests)
  Real,    // runs it on a real thread; a detached one is joined by WaitForThreads or the destructor
  Fail,    // refuses to start it
};

// System services with settable answers; Sleep records instead of waiting.
class FakeSystem : public System {
 public:
  ~FakeSystem() override;

  std::optional<std::uint32_t> OsMajorVersion() override;
  std::u16string CurrentDirectory(std::size_t bufferChars) override;
  char16_t PathSeparator() override { return u'\\'; }
  std::u16string ComputerName(std::size_t bufferChars) override;
  std::u16string UserName(std::size_t bufferChars) override;
  std::uint64_t SystemTimeAsFileTime() override;
  void Sleep(std::uint32_t milliseconds) override;
  std::unique_ptr<SystemThread> StartThread(std::function<void()> body) override;
  void ComInitialize() override;
  void ComUninitialize() override;

  // Test controls.
  std::optional<std::uint32_t> osMajor = 10;
  std::u16string currentDirectory = u"C:\\Installer";
  std::u16string computerName = u"WORKSTATION7";
  std::u16string userName = u"alice";
  std::atomic<std::uint64_t> now{133000000000000000ULL};  // a UTC file time in 2022
  ThreadMode threadMode = ThreadMode::Inline;

  // Observations.
  std::vector<std::uint32_t> Sleeps() const;
  int ComInitializeCount() const { return comInitialized_.load(); }
  int ComUninitializeCount() const { return comUninitialized_.load(); }
  int ThreadsStarted() const { return threadsStarted_.load(); }
  // Joins every real thread detached so far (the others are joined by their owners).
  void WaitForThreads();

 private:
  friend class FakeThread;
  // Keeps a detached real thread until WaitForThreads joins it.
  void Adopt(std::unique_ptr<SystemThread> thread);

  mutable Lock lock_;
  std::vector<std::uint32_t> sleeps_;
  std::vector<std::unique_ptr<SystemThread>> detached_;
  std::atomic<int> comInitialized_{0};
  std::atomic<int> comUninitialized_{0};
  std::atomic<int> threadsStarted_{0};
};

}  // namespace digital_id::fake
