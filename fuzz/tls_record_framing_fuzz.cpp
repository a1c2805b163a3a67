// Feeds arbitrary bytes to the Linux TLS engine's record framing and checks that the first record
// and the leading whole records agree with each other and stay inside the bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_input.h"
#include "platform/linux/tls_record_framing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace digital_id;
  const std::span<const std::uint8_t> bytes(data, size);
  const RecordExtent first = FirstRecord(bytes);
  const LeadingRecords leading = WholeRecordsAtStart(bytes);
  fuzzing::Require(leading.length <= size);
  if (first.scan == RecordScan::Whole) {
    fuzzing::Require(first.length >= kRecordHeaderSize && first.length <= size);
    fuzzing::Require(first.length <= kRecordHeaderSize + kTlsMaxRecordBody);
    fuzzing::Require(leading.count >= 1 && leading.length >= first.length);
  } else {
    fuzzing::Require(first.length == 0 && leading.count == 0 && leading.length == 0);
    fuzzing::Require(leading.malformedTail == (first.scan == RecordScan::Malformed));
  }
  // What follows the leading records is never a whole record.
  const RecordExtent tail = FirstRecord(bytes.subspan(leading.length));
  fuzzing::Require(tail.scan != RecordScan::Whole);
  fuzzing::Require(leading.malformedTail == (tail.scan == RecordScan::Malformed));
  return 0;
}
