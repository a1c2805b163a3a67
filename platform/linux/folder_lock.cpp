#include "platform/linux/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace digital_id {

std::optional<FolderLock> FolderLock::Take(const std::filesystem::path& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) {
    return std::nullopt;
  }
  int result = 0;
  do {
    result = ::flock(fd.Get(), LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    return std::nullopt;
  }
  return FolderLock(std::move(fd));
}

}  // namespace digital_id
