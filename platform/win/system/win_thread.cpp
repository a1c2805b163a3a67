#include "platform/win/system/win_thread.h"

#include <utility>

namespace digital_id {

namespace {

// The thread entry: takes over the body handed to CreateThread, runs it and frees it. An
// exception leaving the body ends the process, as it would on any other thread.
DWORD WINAPI RunBody(void* parameter) noexcept {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

WinThread::~WinThread() {
  if (handle_) {
    WaitForSingleObject(handle_.get(), INFINITE);
  }
}

bool WinThread::Start(std::function<void()> body) {
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  HANDLE thread = CreateThread(nullptr, 0, RunBody, owned.get(), 0, nullptr);
  if (thread == nullptr) {
    return false;
  }
  owned.release();  // the thread frees it
  handle_.reset(thread);
  return true;
}

bool WinThread::WaitForEnd(std::uint32_t milliseconds) {
  return handle_ && WaitForSingleObject(handle_.get(), milliseconds) == WAIT_OBJECT_0;
}

void WinThread::Detach() {
  handle_.reset();
}

}  // namespace digital_id
