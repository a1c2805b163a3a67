#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace digital_id {

// Size of a TLS record header: content type, protocol version and a 16-bit length.
inline constexpr std::size_t kRecordHeaderSize = 5;
// Largest record body a peer may send (2^14 bytes of plaintext plus 2048 bytes of expansion).
inline constexpr std::size_t kTlsMaxRecordBody = 16384 + 2048;
// Largest plaintext of one record.
inline constexpr std::size_t kTlsMaxPlaintext = 16384;
// Content type of application-data records.
inline constexpr std::uint8_t kTlsApplicationData = 23;

// What the bytes at the start of a buffer hold.
enum class RecordScan {
  Whole,       // a whole record of the given length, header included
  Incomplete,  // the start of a record whose remaining bytes have not arrived
  Malformed,   // bytes that cannot start a TLS record
};

// The first record of a buffer.
struct RecordExtent {
  RecordScan scan = RecordScan::Incomplete;
  std::size_t length = 0;  // header plus body, when scan is Whole
};

// Examines the record at the start of bytes.
RecordExtent FirstRecord(std::span<const std::uint8_t> bytes);

// The whole records at the start of a buffer: their total length and whether the bytes behind
// them are malformed rather than merely incomplete.
struct LeadingRecords {
  std::size_t length = 0;
  std::size_t count = 0;
  bool malformedTail = false;
};

// Counts the consecutive whole records at the start of bytes.
LeadingRecords WholeRecordsAtStart(std::span<const std::uint8_t> bytes);

}  // namespace digital_id
