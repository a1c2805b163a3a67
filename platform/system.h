#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace digital_id {

// A wait of this many milliseconds has no limit (INFINITE).
inline constexpr std::uint32_t kWaitWithoutLimit = 0xFFFFFFFF;

// A thread started by System::StartThread, owned by this object. Destroying the object waits
// without limit for the thread's body to return, so the body may use objects of the frame that
// started it; Detach gives that up for a thread that nobody waits for. Every implementation's
// destructor keeps this promise.
class SystemThread {
 public:
  virtual ~SystemThread() = default;

  // Waits at most milliseconds (kWaitWithoutLimit: without limit) for the body to return; true
  // when it has, false when the time ran out, the wait failed or the thread was detached. What
  // the body wrote before returning is visible to the caller after a true answer.
  virtual bool WaitForEnd(std::uint32_t milliseconds) = 0;
  // Lets the thread run on by itself; the object then waits for nothing.
  virtual void Detach() = 0;
};

// Kernel and process services.
class System {
 public:
  virtual ~System() = default;

  // Major version of the operating system; nullopt when the version query fails.
  virtual std::optional<std::uint32_t> OsMajorVersion() = 0;
  // The current directory; empty when it does not fit bufferChars characters.
  virtual std::u16string CurrentDirectory(std::size_t bufferChars) = 0;
  // Separator between a folder and a file name in a path ('\\' on Windows, '/' elsewhere).
  virtual char16_t PathSeparator() = 0;
  // Computer name, at most bufferChars - 1 characters; empty when the query fails.
  virtual std::u16string ComputerName(std::size_t bufferChars) = 0;
  // Name of the logged-on user, at most bufferChars - 1 characters; empty when the query fails.
  virtual std::u16string UserName(std::size_t bufferChars) = 0;
  // Current time as a UTC file time (100 ns intervals since 1601-01-01).
  virtual std::uint64_t SystemTimeAsFileTime() = 0;
  // Blocks the calling thread for the given number of milliseconds.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Starts a thread running body, which must not throw; null when it cannot be started.
  [[nodiscard]] virtual std::unique_ptr<SystemThread> StartThread(std::function<void()> body) = 0;
  // Initialises COM on the calling thread as a single-threaded apartment (no-op elsewhere).
  virtual void ComInitialize() = 0;
  // Ends the calling thread's use of COM (no-op elsewhere).
  virtual void ComUninitialize() = 0;
};

}  // namespace digital_id
