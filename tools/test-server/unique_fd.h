#pragma once

#include <unistd.h>

#include <utility>

namespace digital_id::test_server {

// Owns one file descriptor (socket, pipe end or file) and closes it on destruction.
class UniqueFd {
 public:
  UniqueFd() = default;
  // Takes ownership of fd (-1 means none).
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  // The descriptor, still owned by this object.
  int Get() const { return fd_; }
  // True when a descriptor is held.
  bool Valid() const { return fd_ >= 0; }
  // Closes the held descriptor and takes fd instead.
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace digital_id::test_server
