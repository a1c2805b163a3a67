#pragma once

#include "platform/system.h"

namespace digital_id {

// Kernel and process services on Linux, which counts as the modern OS generation.
class LinuxSystem : public System {
 public:
  // Always 10: the modern generation (SHA-256 mode, modern enrollment path).
  std::optional<std::uint32_t> OsMajorVersion() override;
  // The working directory; empty when it does not fit bufferChars - 1 characters.
  std::u16string CurrentDirectory(std::size_t bufferChars) override;
  // '/'.
  char16_t PathSeparator() override { return u'/'; }
  // The host name, cut to bufferChars - 1 characters.
  std::u16string ComputerName(std::size_t bufferChars) override;
  // The effective user's login name (or $USER when it has no entry), cut to bufferChars - 1.
  std::u16string UserName(std::size_t bufferChars) override;
  // Now as a UTC file time (100 ns intervals since 1601-01-01).
  std::uint64_t SystemTimeAsFileTime() override;
  // Blocks the calling thread.
  void Sleep(std::uint32_t milliseconds) override;
  // A std::thread with a timed wait for its end; null when the system refuses a new thread.
  std::unique_ptr<SystemThread> StartThread(std::function<void()> body) override;
  // No COM on Linux: nothing to do.
  void ComInitialize() override {}
  // No COM on Linux: nothing to do.
  void ComUninitialize() override {}
};

}  // namespace digital_id
