#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace digital_id {

// Bytes of a TLS record header: content type, protocol version (2 bytes), length (2 bytes).
inline constexpr std::size_t kTlsRecordHeaderSize = 5;

// The size of the first record (header included) of the bytes held, read from its header;
// nullopt while fewer than the header's bytes are held.
std::optional<std::size_t> TlsRecordSize(const std::uint8_t* data, std::size_t count);

}  // namespace digital_id
