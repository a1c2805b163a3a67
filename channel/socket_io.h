#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sockets.h"

namespace digital_id {

// Sends every byte, continuing after short sends. False when a send fails or sends nothing.
bool SendAll(SocketHandle socket, const std::uint8_t* data, std::size_t size);

}  // namespace digital_id
