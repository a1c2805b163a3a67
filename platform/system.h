#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace digital_id {

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
  // Starts a detached thread running body; false when it cannot be started.
  virtual bool StartThread(std::function<void()> body) = 0;
  // Initialises COM on the calling thread as a single-threaded apartment (no-op elsewhere).
  virtual void ComInitialize() = 0;
  // Ends the calling thread's use of COM (no-op elsewhere).
  virtual void ComUninitialize() = 0;
};

}  // namespace digital_id
