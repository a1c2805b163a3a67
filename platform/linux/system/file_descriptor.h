#pragma once

#include <unistd.h>

#include <utility>

namespace digital_id {

// Owns a POSIX file descriptor and closes it on destruction.
class FileDescriptor {
 public:
  // Takes fd (negative for none).
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~FileDescriptor() { Close(); }

  // The descriptor, still owned.
  int Get() const { return fd_; }
  // True when a descriptor is held.
  bool Valid() const { return fd_ >= 0; }
  // Closes now; false when the close reports an error (a lost write, for instance).
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace digital_id
