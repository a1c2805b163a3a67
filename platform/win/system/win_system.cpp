#include "platform/win/system/win_system.h"

#include <windows.h>

#include <objbase.h>

#include <new>
#include <utility>
#include <vector>

#include "platform/win/system/win_thread.h"
#include "platform/win/wide_text.h"

namespace digital_id {

std::optional<std::uint32_t> WinSystem::OsMajorVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  static_assert(sizeof(OSVERSIONINFOW) == 276, "the version record is 276 bytes");
  if (!GetVersionExW(&info)) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(info.dwMajorVersion);
}

std::u16string WinSystem::CurrentDirectory(std::size_t bufferChars) {
  if (bufferChars == 0) {
    return {};
  }
  std::vector<wchar_t> buffer(bufferChars);
  const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(bufferChars), buffer.data());
  // A directory that does not fit answers with the size it would need and fills nothing.
  if (length == 0 || length >= bufferChars) {
    return {};
  }
  return FromWide(std::wstring_view(buffer.data(), length));
}

namespace {

template <typename Query>
std::u16string NameFromQuery(std::size_t bufferChars, Query query) {
  if (bufferChars == 0) {
    return {};
  }
  std::vector<wchar_t> buffer(bufferChars);
  DWORD size = static_cast<DWORD>(bufferChars);
  if (!query(buffer.data(), &size)) {
    return {};
  }
  buffer.back() = L'\0';
  return FromWide(std::wstring_view(buffer.data()));
}

}  // namespace

std::u16string WinSystem::ComputerName(std::size_t bufferChars) {
  return NameFromQuery(bufferChars,
                       [](wchar_t* buffer, DWORD* size) { return GetComputerNameW(buffer, size); });
}

std::u16string WinSystem::UserName(std::size_t bufferChars) {
  return NameFromQuery(bufferChars,
                       [](wchar_t* buffer, DWORD* size) { return GetUserNameW(buffer, size); });
}

std::uint64_t WinSystem::SystemTimeAsFileTime() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void WinSystem::Sleep(std::uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

std::unique_ptr<SystemThread> WinSystem::StartThread(std::function<void()> body) {
  try {
    auto thread = std::make_unique<WinThread>();
    if (!thread->Start(std::move(body))) {
      return nullptr;
    }
    return thread;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void WinSystem::ComInitialize() {
  static_cast<void>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void WinSystem::ComUninitialize() {
  CoUninitialize();
}

}  // namespace digital_id
