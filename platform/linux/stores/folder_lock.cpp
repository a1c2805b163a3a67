#include "platform/linux/stores/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace digital_id {

namespace {

// How long a writer waits for a folder another process holds locked. Anyone who can read a
// folder can flock it, so without a bound a local user could stall every writer of a
// world-readable machine store for good.
constexpr auto kLockWait = std::chrono::seconds(10);
// The pause between two attempts while the folder is locked.
constexpr auto kLockRetry = std::chrono::milliseconds(50);

}  // namespace

std::optional<FolderLock> FolderLock::Take(const std::filesystem::path& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) {
    return std::nullopt;
  }
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  // Each attempt takes the lock in one step or not at all; the loop only decides when to stop.
  while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      return std::nullopt;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(kLockRetry);
  }
  return FolderLock(std::move(fd));
}

}  // namespace digital_id
