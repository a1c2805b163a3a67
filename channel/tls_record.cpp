#include "channel/tls_record.h"

namespace digital_id {

std::optional<std::size_t> TlsRecordSize(const std::uint8_t* data, std::size_t count) {
  if (count < kTlsRecordHeaderSize) {
    return std::nullopt;
  }
  const std::size_t length = (static_cast<std::size_t>(data[3]) << 8) | data[4];
  return kTlsRecordHeaderSize + length;
}

}  // namespace digital_id
