#pragma once

#include <filesystem>
#include <optional>

#include "platform/linux/system/file_descriptor.h"

namespace digital_id {

// An exclusive advisory lock (flock) on a folder itself, held while the object lives. Writers of
// a store take it around every change, so that a tidy-up under the lock knows that a temporary
// file or an unfinished entry belongs to a writer that died. The kernel drops the lock with the
// process, so a killed writer never leaves it held. No lock file is made. The wait for a lock is
// bounded (about ten seconds): a folder locked for longer counts as one that cannot be opened.
class FolderLock {
 public:
  // Waits for and takes the lock of an existing folder; nullopt when it cannot be opened or is
  // still locked by another holder when the wait ends.
  static std::optional<FolderLock> Take(const std::filesystem::path& folder);

 private:
  explicit FolderLock(FileDescriptor fd) : fd_(std::move(fd)) {}

  FileDescriptor fd_;
};

}  // namespace digital_id
