#pragma once

#include <functional>
#include <string>

#include "connection_pool.h"
#include "event_log.h"
#include "stop_signal.h"
#include "unique_fd.h"

namespace digital_id::test_server {

// Accepts connections on a listening socket until the server stops, handing each (as a
// non-blocking socket) to handler on a thread of pool; a connection beyond the pool's limit is
// closed at once. Returns after every handler thread has ended.
void RunAcceptLoop(int listenFd, const std::string& name, const StopSignal& stop,
                   ConnectionPool& pool, const std::function<void(UniqueFd)>& handler,
                   EventLog& log);

}  // namespace digital_id::test_server
