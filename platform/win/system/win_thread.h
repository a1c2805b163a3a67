#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <type_traits>

#include "platform/system.h"

namespace digital_id {

// Closes a kernel object handle.
struct KernelHandleClose {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// An owned kernel object handle (never INVALID_HANDLE_VALUE).
using KernelHandlePtr = std::unique_ptr<std::remove_pointer_t<HANDLE>, KernelHandleClose>;

// A thread made by CreateThread (default security and stack size, no creation flags), waited
// for with WaitForSingleObject on its handle. The destructor waits without limit for the thread
// unless it was detached, then closes the handle.
class WinThread : public SystemThread {
 public:
  WinThread() = default;
  WinThread(const WinThread&) = delete;
  WinThread& operator=(const WinThread&) = delete;
  ~WinThread() override;

  // Starts body on a new thread; false when CreateThread fails (body is then not run).
  bool Start(std::function<void()> body);
  // WaitForSingleObject on the thread handle; true on WAIT_OBJECT_0.
  bool WaitForEnd(std::uint32_t milliseconds) override;
  // Closes the handle; the thread runs on.
  void Detach() override;

 private:
  KernelHandlePtr handle_;
};

}  // namespace digital_id
