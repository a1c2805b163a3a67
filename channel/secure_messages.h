#pragma once

#include <cstddef>

namespace digital_id {

// Bytes of the area in which one outgoing record is built: header, message and trailer must fit.
inline constexpr std::size_t kSendBufferSize = 2032;

// Bytes of the area in which one incoming record is gathered; a record must fit whole.
inline constexpr std::size_t kReceiveBufferSize = 65536;

// Most bytes one read asks for.
inline constexpr std::size_t kMaxReadSize = 65535;

}  // namespace digital_id
