#include "stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace digital_id::test_server {

StopSignal::StopSignal() {
  int ends[2] = {-1, -1};
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    readEnd_.Reset(ends[0]);
    writeEnd_.Reset(ends[1]);
  }
}

void StopSignal::Trigger() const {
  const char byte = 1;
  // The byte is never read, so one that is already there keeps the pipe readable.
  [[maybe_unused]] const ssize_t ignored = ::write(writeEnd_.Get(), &byte, 1);
}

bool StopSignal::Triggered() const {
  pollfd entry{Fd(), POLLIN, 0};
  return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

}  // namespace digital_id::test_server
