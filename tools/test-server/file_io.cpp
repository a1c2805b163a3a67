#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "unique_fd.h"

namespace digital_id::test_server {

bool WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode,
                         std::string& error) {
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  if (!fd.Valid()) {
    error = "cannot create " + temporary + ": " + std::strerror(errno);
    return false;
  }
  // The umask may have narrowed the mode; key files must keep exactly what was asked.
  ::fchmod(fd.Get(), mode);
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = ::write(fd.Get(), content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "cannot write " + temporary + ": " + std::strerror(errno);
      ::unlink(temporary.c_str());
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.Get()) != 0) {
    error = "cannot sync " + temporary + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  fd.Reset();
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + temporary + " to " + path + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

}  // namespace digital_id::test_server
