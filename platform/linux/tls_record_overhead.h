#pragma once

#include <openssl/ssl.h>

#include <cstdint>
#include <optional>

namespace digital_id {

// Bytes a TLS 1.2 record adds before and after its plaintext under one cipher suite.
struct RecordOverhead {
  std::uint32_t header = 0;     // record header plus explicit nonce or IV
  std::uint32_t trailer = 0;    // largest tag, or MAC plus padding
  std::uint32_t blockSize = 1;  // cipher block size (1 for stream and AEAD ciphers)
};

// The overhead of records under a negotiated cipher suite; nullopt when it is unknown.
std::optional<RecordOverhead> RecordOverheadOf(const SSL_CIPHER* cipher);

}  // namespace digital_id
