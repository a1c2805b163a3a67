#include "platform/linux/stores/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "platform/linux/system/file_descriptor.h"

namespace digital_id {

namespace {

bool WriteAll(int fd, std::span<const std::uint8_t> content) {
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t count = ::write(fd, content.data() + written, content.size() - written);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      return false;
    }
    written += static_cast<std::size_t>(count);
  }
  return true;
}

// Moves from to to unless to exists; Exists when that was the reason for a refusal.
WriteOutcome MoveNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return WriteOutcome::Written;
  }
  if (errno == EEXIST) {
    return WriteOutcome::Exists;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return WriteOutcome::Failed;
  }
  // File systems without the no-replace rename: a hard link is refused when the name exists.
  if (::link(from.c_str(), to.c_str()) != 0) {
    return errno == EEXIST ? WriteOutcome::Exists : WriteOutcome::Failed;
  }
  ::unlink(from.c_str());
  return WriteOutcome::Written;
}

// A new temporary name in folder, as a template for mkstemp.
std::string TemporaryTemplate(const std::filesystem::path& folder) {
  return (folder / (std::string(kTemporaryPrefix) + "XXXXXX")).string();
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

WriteOutcome WriteFileAtomically(const std::filesystem::path& target,
                                 std::span<const std::uint8_t> content, mode_t mode,
                                 Placement placement) {
  const std::filesystem::path folder = target.parent_path();
  std::string temporary = TemporaryTemplate(folder);
  FileDescriptor fd(::mkstemp(temporary.data()));
  if (!fd.Valid()) {
    return WriteOutcome::Failed;
  }
  const bool flushed =
      ::fchmod(fd.Get(), mode) == 0 && WriteAll(fd.Get(), content) && ::fsync(fd.Get()) == 0;
  WriteOutcome outcome = WriteOutcome::Failed;
  if (fd.Close() && flushed) {
    if (placement == Placement::NoReplace) {
      outcome = MoveNoReplace(temporary, target.string());
    } else if (::rename(temporary.c_str(), target.c_str()) == 0) {
      outcome = WriteOutcome::Written;
    }
  }
  if (outcome != WriteOutcome::Written) {
    ::unlink(temporary.c_str());
    return outcome;
  }
  SyncFolder(folder);
  return outcome;
}

bool ReplaceSymlink(const std::filesystem::path& link, const std::string& target) {
  const std::filesystem::path folder = link.parent_path();
  // mkstemp reserves a unique name; the link takes it over by a rename of its own.
  std::string temporary = TemporaryTemplate(folder);
  FileDescriptor fd(::mkstemp(temporary.data()));
  if (!fd.Valid()) {
    return false;
  }
  fd.Close();
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0) {
    return false;
  }
  if (::rename(temporary.c_str(), link.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

namespace {

// The whole content of a file into a Bytes or SecretBytes; the read buffer is wiped afterwards.
template <typename Content>
std::optional<Content> ReadWholeFileAs(const std::filesystem::path& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    return std::nullopt;
  }
  Content content;
  std::uint8_t buffer[4096];
  std::optional<Content> result;
  for (;;) {
    const ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count == 0) {
      result = std::move(content);
    }
    if (count <= 0) {
      break;
    }
    content.insert(content.end(), buffer, buffer + count);
  }
  WipeMemory(buffer, sizeof buffer);
  return result;
}

}  // namespace

std::optional<Bytes> ReadWholeFile(const std::filesystem::path& path) {
  return ReadWholeFileAs<Bytes>(path);
}

std::optional<SecretBytes> ReadWholeSecretFile(const std::filesystem::path& path) {
  return ReadWholeFileAs<SecretBytes>(path);
}

void SyncFolder(const std::filesystem::path& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Valid()) {
    ::fsync(fd.Get());
  }
}

void RemoveTemporaries(const std::filesystem::path& folder, long olderThanSeconds) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) {
    return;
  }
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    struct stat info {};
    if (name.starts_with(kTemporaryPrefix) && ::lstat((folder / name).c_str(), &info) == 0 &&
        now - info.st_mtime >= olderThanSeconds) {
      std::error_code ignored;
      std::filesystem::remove_all(folder / name, ignored);
    }
  }
}

}  // namespace digital_id
