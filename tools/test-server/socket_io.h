#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "stop_signal.h"
#include "unique_fd.h"

namespace digital_id::test_server {

using Clock = std::chrono::steady_clock;

// Outcome of waiting for a socket.
enum class WaitResult { Ready, TimedOut, Stopped };

// Waits until fd is ready for events (POLLIN or POLLOUT; a hang-up or error counts as ready so
// the next call sees it), the deadline passes, or the server stops.
WaitResult WaitForSocket(int fd, short events, const StopSignal& stop, Clock::time_point deadline);

// Sends all bytes on a non-blocking socket before the deadline; false on error, time-out or stop.
bool SendAll(int fd, std::string_view bytes, const StopSignal& stop, Clock::time_point deadline);

// A listening TCP socket on 127.0.0.1 (port 0: one the system chooses), non-blocking; nothing
// with the reason in error on failure.
std::optional<UniqueFd> ListenOnLoopback(std::uint16_t port, std::string& error);

// The local port a socket is bound to; 0 when unknown.
std::uint16_t LocalPort(int fd);

}  // namespace digital_id::test_server
