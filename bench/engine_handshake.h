#pragma once

// One TLS 1.2 handshake on loopback through the project's TLS session and POSIX sockets, as the
// secure channel runs it.

#include <cstdint>
#include <string>

#include "platform/tls_session.h"

namespace digital_id::bench {

// Connects to 127.0.0.1:port and runs a session's handshake for the target name; everything is
// released before it returns. True when the connection was secured.
bool EngineHandshake(TlsEngine& engine, std::uint16_t port, const std::u16string& target);

}  // namespace digital_id::bench
