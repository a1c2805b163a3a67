#include "platform/linux/store_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>

namespace digital_id {

namespace {

constexpr std::string_view kTemporaryPrefix = ".tmp-";
constexpr std::size_t kSequenceDigits = 10;
constexpr int kMaxAddAttempts = 16;
// A temporary file older than this belongs to a write that will never finish.
constexpr std::time_t kStaleTemporarySeconds = 600;

// Owns a POSIX file descriptor.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now; false when the close reports an error (a lost write, for instance).
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Owns an open directory stream.
struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// All names in a folder except "." and "..".
std::vector<std::string> FolderNames(const std::filesystem::path& path) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
  if (!dir) {
    return names;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  return names;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The sequence number at the start of an entry name; nullopt when the name is not an entry.
std::optional<unsigned long long> SequenceOf(std::string_view name) {
  if (name.size() <= kSequenceDigits || name[kSequenceDigits] != '-') {
    return std::nullopt;
  }
  unsigned long long value = 0;
  for (std::size_t i = 0; i < kSequenceDigits; ++i) {
    if (name[i] < '0' || name[i] > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<unsigned long long>(name[i] - '0');
  }
  return value;
}

bool WriteAll(int fd, const Bytes& content) {
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

// Moves from to to unless to exists; sets exists when that was the reason for a refusal.
bool MoveNoReplace(const std::string& from, const std::string& to, bool& exists) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno == EEXIST) {
    exists = true;
    return false;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return false;
  }
  // File systems without the no-replace rename: a hard link is refused when the name exists.
  if (::link(from.c_str(), to.c_str()) != 0) {
    exists = errno == EEXIST;
    return false;
  }
  ::unlink(from.c_str());
  return true;
}

}  // namespace

StoreFolder::StoreFolder(std::filesystem::path path) : path_(std::move(path)) {}

std::vector<std::string> StoreFolder::List(std::string_view extension) const {
  std::vector<std::string> names;
  for (std::string& name : FolderNames(path_)) {
    if (SequenceOf(name) && EndsWith(name, extension)) {
      names.push_back(std::move(name));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string StoreFolder::NextStem(const std::string& tag) const {
  unsigned long long highest = 0;
  for (const std::string& name : FolderNames(path_)) {
    if (const auto sequence = SequenceOf(name)) {
      highest = std::max(highest, *sequence);
    }
  }
  std::string number = std::to_string(highest + 1);
  if (number.size() < kSequenceDigits) {
    number.insert(0, kSequenceDigits - number.size(), '0');
  }
  return number + "-" + tag;
}

std::optional<std::string> StoreFolder::AddEntry(const std::string& tag,
                                                 const std::vector<EntryFile>& files) const {
  for (int attempt = 0; attempt < kMaxAddAttempts; ++attempt) {
    const std::string stem = NextStem(tag);
    std::vector<std::string> written;
    bool exists = false;
    for (const EntryFile& file : files) {
      const std::string name = stem + file.extension;
      if (!WriteNew(name, file.content, file.mode, exists)) {
        break;
      }
      written.push_back(name);
    }
    if (written.size() == files.size()) {
      SyncFolder();
      return stem;
    }
    // Undo the files of this entry written so far, newest first.
    for (auto it = written.rbegin(); it != written.rend(); ++it) {
      Remove(*it);
    }
    if (!exists) {
      return std::nullopt;
    }
    // Another writer took the stem meanwhile: try the next one.
  }
  return std::nullopt;
}

bool StoreFolder::WriteNew(const std::string& name, const Bytes& content, mode_t mode,
                           bool& exists) const {
  std::string temporary = (path_ / (std::string(kTemporaryPrefix) + "XXXXXX")).string();
  FileDescriptor fd(::mkstemp(temporary.data()));
  if (!fd.Valid()) {
    return false;
  }
  const bool flushed =
      ::fchmod(fd.Get(), mode) == 0 && WriteAll(fd.Get(), content) && ::fsync(fd.Get()) == 0;
  if (!fd.Close() || !flushed || !MoveNoReplace(temporary, (path_ / name).string(), exists)) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool StoreFolder::Remove(const std::string& name) const {
  if (::unlink((path_ / name).c_str()) != 0 && errno != ENOENT) {
    return false;
  }
  SyncFolder();
  return true;
}

std::optional<Bytes> StoreFolder::Read(const std::string& name) const {
  FileDescriptor fd(::open((path_ / name).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    return std::nullopt;
  }
  Bytes content;
  std::uint8_t buffer[4096];
  for (;;) {
    const ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      return std::nullopt;
    }
    if (count == 0) {
      return content;
    }
    content.insert(content.end(), buffer, buffer + count);
  }
}

void StoreFolder::RemoveStaleTemporaries() const {
  const std::time_t now = std::time(nullptr);
  for (const std::string& name : FolderNames(path_)) {
    struct stat info {};
    if (name.starts_with(kTemporaryPrefix) && ::lstat((path_ / name).c_str(), &info) == 0 &&
        now - info.st_mtime > kStaleTemporarySeconds) {
      ::unlink((path_ / name).c_str());
    }
  }
}

void StoreFolder::SyncFolder() const {
  FileDescriptor fd(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Valid()) {
    ::fsync(fd.Get());
  }
}

}  // namespace digital_id
