#include "accept_loop.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>

namespace digital_id::test_server {

void RunAcceptLoop(int listenFd, const std::string& name, const StopSignal& stop,
                   ConnectionPool& pool, const std::function<void(UniqueFd)>& handler,
                   EventLog& log) {
  while (!stop.Triggered()) {
    pollfd entries[2] = {{listenFd, POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
    if (::poll(entries, 2, -1) < 0) {
      if (errno == EINTR) continue;
      log.Note(name + ": poll failed, no longer accepting");
      break;
    }
    if (entries[1].revents != 0) break;
    UniqueFd connection(::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!connection.Valid()) {
      // Out of descriptors: the socket stays readable, so pause instead of spinning.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        pollfd pause{stop.Fd(), POLLIN, 0};
        ::poll(&pause, 1, 100);
      }
      continue;
    }
    // The socket moves into the thread; shared_ptr keeps the task copyable for std::function.
    auto owned = std::make_shared<UniqueFd>(std::move(connection));
    if (!pool.Launch([&handler, owned] { handler(std::move(*owned)); })) {
      log.Note(name + ": too many connections, one refused");
    }
  }
  pool.JoinAll();
}

}  // namespace digital_id::test_server
