#include "platform/linux/tls_record_framing.h"

namespace digital_id {

namespace {

// Content types a TLS 1.2 peer sends: 20 (cipher change) up to 24 (heartbeat).
constexpr std::uint8_t kFirstContentType = 20;
constexpr std::uint8_t kLastContentType = 24;
// Every TLS and SSL 3 record version has major number 3.
constexpr std::uint8_t kRecordMajorVersion = 3;

}  // namespace

RecordExtent FirstRecord(std::span<const std::uint8_t> bytes) {
  // Check each header byte as soon as it is present, so junk is refused without waiting.
  if (!bytes.empty() && (bytes[0] < kFirstContentType || bytes[0] > kLastContentType)) {
    return {RecordScan::Malformed, 0};
  }
  if (bytes.size() >= 2 && bytes[1] != kRecordMajorVersion) {
    return {RecordScan::Malformed, 0};
  }
  if (bytes.size() < kRecordHeaderSize) {
    return {RecordScan::Incomplete, 0};
  }
  const std::size_t body = (static_cast<std::size_t>(bytes[3]) << 8) | bytes[4];
  if (body > kTlsMaxRecordBody) {
    return {RecordScan::Malformed, 0};
  }
  const std::size_t length = kRecordHeaderSize + body;
  if (bytes.size() < length) {
    return {RecordScan::Incomplete, 0};
  }
  return {RecordScan::Whole, length};
}

LeadingRecords WholeRecordsAtStart(std::span<const std::uint8_t> bytes) {
  LeadingRecords records;
  for (;;) {
    const RecordExtent next = FirstRecord(bytes.subspan(records.length));
    if (next.scan != RecordScan::Whole) {
      records.malformedTail = next.scan == RecordScan::Malformed;
      return records;
    }
    records.length += next.length;
    ++records.count;
  }
}

}  // namespace digital_id
