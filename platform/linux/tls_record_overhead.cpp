#include "platform/linux/tls_record_overhead.h"

#include <openssl/evp.h>
#include <openssl/objects.h>

#include <cstring>

#include "platform/linux/tls_record_framing.h"

namespace digital_id {

namespace {

// Explicit nonce of AES-GCM and AES-CCM records in TLS 1.2, and their full and short tags.
constexpr std::uint32_t kExplicitNonceSize = 8;
constexpr std::uint32_t kAeadTagSize = 16;
constexpr std::uint32_t kShortCcmTagSize = 8;

}  // namespace

std::optional<RecordOverhead> RecordOverheadOf(const SSL_CIPHER* cipher) {
  if (cipher == nullptr) {
    return std::nullopt;
  }
  constexpr auto kHeader = static_cast<std::uint32_t>(kRecordHeaderSize);
  const int cipherNid = SSL_CIPHER_get_cipher_nid(cipher);
  if (SSL_CIPHER_is_aead(cipher) != 0) {
    // ChaCha20-Poly1305 derives its nonce from the sequence number: nothing precedes the data.
    if (cipherNid == NID_chacha20_poly1305) {
      return RecordOverhead{kHeader, kAeadTagSize, 1};
    }
    const char* name = SSL_CIPHER_get_name(cipher);
    const bool shortTag = name != nullptr && std::strstr(name, "CCM8") != nullptr;
    return RecordOverhead{kHeader + kExplicitNonceSize, shortTag ? kShortCcmTagSize : kAeadTagSize,
                          1};
  }
  // MAC-then-encrypt or encrypt-then-MAC: an explicit IV before the data, MAC and padding after.
  const EVP_MD* digest = EVP_get_digestbynid(SSL_CIPHER_get_digest_nid(cipher));
  const int macSize = digest != nullptr ? EVP_MD_get_size(digest) : -1;
  if (macSize < 0) {
    return std::nullopt;
  }
  if (cipherNid == NID_undef) {
    return RecordOverhead{kHeader, static_cast<std::uint32_t>(macSize), 1};
  }
  const EVP_CIPHER* bulk = EVP_get_cipherbynid(cipherNid);
  if (bulk == nullptr) {
    return std::nullopt;
  }
  const int blockSize = EVP_CIPHER_get_block_size(bulk);
  const int ivSize = blockSize > 1 ? EVP_CIPHER_get_iv_length(bulk) : 0;
  if (blockSize < 1 || ivSize < 0) {
    return std::nullopt;
  }
  const auto block = static_cast<std::uint32_t>(blockSize);
  // Padding takes at least one byte and at most one whole block.
  const std::uint32_t padding = block > 1 ? block : 0;
  return RecordOverhead{kHeader + static_cast<std::uint32_t>(ivSize),
                        static_cast<std::uint32_t>(macSize) + padding, block};
}

}  // namespace digital_id
