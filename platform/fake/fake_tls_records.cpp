#include "platform/fake/fake_tls_records.h"

namespace digital_id::fake {

namespace {

Bytes Record(std::uint8_t type, const Bytes& body) {
  Bytes record{type, 0x03, 0x03, static_cast<std::uint8_t>((body.size() >> 8) & 0xFF),
               static_cast<std::uint8_t>(body.size() & 0xFF)};
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

}  // namespace

std::size_t FakeTrailerLength(const std::uint8_t* body, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t length = body[size - 1];
  if (length == 0 || length > size) return 0;
  for (std::size_t i = size - length; i < size; ++i) {
    if (body[i] != length) return 0;
  }
  return length;
}

Bytes MakeFakeRecord(const Bytes& message) {
  Bytes body;
  for (std::uint8_t b : message) body.push_back(b ^ kFakeCipherMask);
  body.insert(body.end(), kFakeTrailerSize, static_cast<std::uint8_t>(kFakeTrailerSize));
  return Record(kFakeApplicationDataType, body);
}

Bytes MakeFakeRecord(std::string_view message) {
  return MakeFakeRecord(Bytes(message.begin(), message.end()));
}

Bytes MakeFakeHandshakeRecord(std::string_view body) {
  return Record(kFakeHandshakeType, Bytes(body.begin(), body.end()));
}

Bytes MakeFakeAlertRecord(std::uint8_t level, std::uint8_t description) {
  return Record(kFakeAlertType, Bytes{level, description});
}

Bytes Joined(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<FakeRecord> ParseFakeRecords(const Bytes& wire) {
  std::vector<FakeRecord> records;
  std::size_t pos = 0;
  while (wire.size() - pos >= kFakeHeaderSize) {
    const std::size_t length = (static_cast<std::size_t>(wire[pos + 3]) << 8) | wire[pos + 4];
    if (wire.size() - pos - kFakeHeaderSize < length) break;
    FakeRecord record;
    record.type = wire[pos];
    record.body.assign(wire.begin() + static_cast<std::ptrdiff_t>(pos + kFakeHeaderSize),
                       wire.begin() + static_cast<std::ptrdiff_t>(pos + kFakeHeaderSize + length));
    if (record.type == kFakeApplicationDataType) {
      const std::size_t trailer = FakeTrailerLength(record.body.data(), record.body.size());
      record.intact = trailer != 0;
      record.body.resize(record.body.size() - trailer);
      for (std::uint8_t& b : record.body) b ^= kFakeCipherMask;
    }
    records.push_back(std::move(record));
    pos += kFakeHeaderSize + length;
  }
  return records;
}

std::vector<std::string> ClientMessages(const Bytes& wire) {
  std::vector<std::string> messages;
  for (const FakeRecord& record : ParseFakeRecords(wire)) {
    if (record.type == kFakeApplicationDataType && record.intact) {
      messages.emplace_back(record.body.begin(), record.body.end());
    }
  }
  return messages;
}

}  // namespace digital_id::fake
