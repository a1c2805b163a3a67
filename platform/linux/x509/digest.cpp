#include "platform/linux/x509/digest.h"

#include <openssl/evp.h>

#include <algorithm>

namespace digital_id {

Bytes ComputeDigest(ThumbprintAlgorithm algorithm, const std::uint8_t* data, std::size_t size) {
  const EVP_MD* md = algorithm == ThumbprintAlgorithm::Sha256 ? EVP_sha256() : EVP_sha1();
  Bytes digest(static_cast<std::size_t>(EVP_MAX_MD_SIZE));
  unsigned int length = 0;
  if (md == nullptr || (data == nullptr && size != 0) ||
      EVP_Digest(data, size, digest.data(), &length, md, nullptr) != 1) {
    return {};
  }
  digest.resize(length);
  return digest;
}

std::string HexPrefix(const Bytes& bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  const std::size_t used = std::min(count, bytes.size());
  for (std::size_t i = 0; i < used; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

}  // namespace digital_id
