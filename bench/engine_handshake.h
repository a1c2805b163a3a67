#pragma once

// One TLS 1.2 handshake on loopback through the project's TLS engine and POSIX sockets, driven
// the way the secure channel drives it (tokens in, tokens out, extra bytes kept).

#include <cstdint>
#include <string>

#include "platform/tls_engine.h"

namespace digital_id::bench {

// Acquires credentials, connects to 127.0.0.1:port and runs the handshake for the target name;
// everything is released before it returns. True when the context was established.
bool EngineHandshake(SecurityInterface& table, std::uint16_t port, const std::u16string& target);

}  // namespace digital_id::bench
