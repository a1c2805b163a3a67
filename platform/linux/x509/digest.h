#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/cert_store.h"

namespace digital_id {

// SHA-1 or SHA-256 digest of the bytes; empty when it cannot be computed.
Bytes ComputeDigest(ThumbprintAlgorithm algorithm, const std::uint8_t* data, std::size_t size);

// Lower-case hexadecimal text of the first count bytes (all of them when count exceeds the size).
std::string HexPrefix(const Bytes& bytes, std::size_t count);

}  // namespace digital_id
