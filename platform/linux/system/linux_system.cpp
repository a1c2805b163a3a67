#include "platform/linux/system/linux_system.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/utf8_text.h"
#include "platform/std_system_thread.h"

namespace digital_id {

namespace {

constexpr std::uint32_t kModernGeneration = 10;
// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

std::u16string Cut(std::u16string text, std::size_t bufferChars) {
  if (bufferChars == 0) {
    return {};
  }
  if (text.size() > bufferChars - 1) {
    text.resize(bufferChars - 1);
  }
  return text;
}

}  // namespace

std::optional<std::uint32_t> LinuxSystem::OsMajorVersion() {
  return kModernGeneration;
}

std::u16string LinuxSystem::CurrentDirectory(std::size_t bufferChars) {
  try {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE || buffer.size() >= 1 << 20) {
        return {};
      }
      buffer.resize(buffer.size() * 2);
    }
    const std::u16string directory = Utf8OrLatin1ToUtf16(buffer.data());
    // Like the platform call, a directory that does not fit the buffer gives nothing.
    return directory.size() < bufferChars ? directory : std::u16string();
  } catch (...) {
    return {};
  }
}

std::u16string LinuxSystem::ComputerName(std::size_t bufferChars) {
  try {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
      return {};
    }
    return Cut(Utf8OrLatin1ToUtf16(name.data()), bufferChars);
  } catch (...) {
    return {};
  }
}

std::u16string LinuxSystem::UserName(std::size_t bufferChars) {
  try {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr && found->pw_name[0] != '\0') {
      return Cut(Utf8OrLatin1ToUtf16(found->pw_name), bufferChars);
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? Cut(Utf8OrLatin1ToUtf16(user), bufferChars) : std::u16string();
  } catch (...) {
    return {};
  }
}

std::uint64_t LinuxSystem::SystemTimeAsFileTime() {
  const auto sinceUnixEpoch = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return kUnixEpochAsFileTime + static_cast<std::uint64_t>(sinceUnixEpoch.count() / 100);
}

void LinuxSystem::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::unique_ptr<SystemThread> LinuxSystem::StartThread(std::function<void()> body) {
  return StartStdSystemThread(std::move(body));
}

}  // namespace digital_id
