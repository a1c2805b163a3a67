#pragma once

#include "platform/system.h"

namespace digital_id {

// Kernel and process services of Windows.
class WinSystem : public System {
 public:
  // GetVersionExW with a 276-byte OSVERSIONINFOW; nullopt when the query fails.
  std::optional<std::uint32_t> OsMajorVersion() override;
  // GetCurrentDirectoryW; empty when the directory does not fit bufferChars characters.
  std::u16string CurrentDirectory(std::size_t bufferChars) override;
  // '\\'.
  char16_t PathSeparator() override { return u'\\'; }
  // GetComputerNameW into a buffer of bufferChars characters.
  std::u16string ComputerName(std::size_t bufferChars) override;
  // GetUserNameW into a buffer of bufferChars characters.
  std::u16string UserName(std::size_t bufferChars) override;
  // GetSystemTimeAsFileTime.
  std::uint64_t SystemTimeAsFileTime() override;
  // Sleep.
  void Sleep(std::uint32_t milliseconds) override;
  // A WinThread (CreateThread, waits with WaitForSingleObject); null when CreateThread fails.
  std::unique_ptr<SystemThread> StartThread(std::function<void()> body) override;
  // CoInitializeEx(NULL, COINIT_APARTMENTTHREADED); the result is not looked at.
  void ComInitialize() override;
  // CoUninitialize.
  void ComUninitialize() override;
};

}  // namespace digital_id
