#include "platform/win/sspi/sspi_records.h"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>

namespace digital_id::sspi {

namespace {

// Bytes of a TLS record header: content type, protocol version (2 bytes), length (2 bytes).
constexpr std::size_t kRecordHeaderSize = 5;

// The size of the first record (header included) of the bytes held, read from its header;
// nullopt while fewer than the header's bytes are held.
std::optional<std::size_t> FirstRecordSize(const std::uint8_t* data, std::size_t count) {
  if (count < kRecordHeaderSize) {
    return std::nullopt;
  }
  return kRecordHeaderSize + ((static_cast<std::size_t>(data[3]) << 8) | data[4]);
}

// How gathering a record ended.
enum class Gathered { Record, ReadFailed, Closed, TooLarge };

// Gathers the first whole record into area: the pending bytes first, then reads (each bounded by
// the socket's receive time-out) until the record's header says it is all in. count receives the
// bytes held, recordSize the size of the first record.
Gathered GatherRecord(SspiChannel& channel, Bytes& area, std::size_t& count,
                      std::size_t& recordSize) {
  count = std::min(channel.pending.size(), area.size());
  std::copy_n(channel.pending.begin(), count, area.begin());
  channel.pending.clear();
  for (;;) {
    const std::optional<std::size_t> size = FirstRecordSize(area.data(), count);
    if (size && *size > area.size()) {
      return Gathered::TooLarge;
    }
    if (size && *size <= count) {
      recordSize = *size;
      return Gathered::Record;
    }
    const std::size_t room = std::min(area.size() - count, kMaxReadSize);
    const int received =
        channel.sockets.Receive(channel.socket, area.data() + count, static_cast<int>(room));
    if (received == kSocketError || received < 0 || static_cast<std::size_t>(received) > room) {
      return Gathered::ReadFailed;
    }
    if (received == 0) {
      return Gathered::Closed;
    }
    count += static_cast<std::size_t>(received);
  }
}

// Decrypts the record at the start of area in place and copies the bytes marked as its data
// into message; false when it does not decrypt or holds no data.
bool DecryptRecord(SspiChannel& channel, Bytes& area, std::size_t recordSize, Bytes& message) {
  SecBuffer buffers[4];
  buffers[0] = {static_cast<std::uint32_t>(recordSize), kSecBufferData, area.data()};
  SecBufferDesc list{kSecBufferVersion, 4, buffers};
  if (IsSecFailure(channel.table.DecryptMessage(&channel.context, &list, 0, nullptr))) {
    return false;
  }
  const std::less<const std::uint8_t*> before;
  const std::uint8_t* const recordStart = area.data();
  const std::uint8_t* const recordEnd = area.data() + recordSize;
  for (const SecBuffer& buffer : buffers) {
    if (buffer.BufferType != kSecBufferData) {
      continue;
    }
    const auto* data = static_cast<const std::uint8_t*>(buffer.pvBuffer);
    // Only bytes inside the record are read, whatever the package reports.
    if (data == nullptr || before(data, recordStart) || before(recordEnd, data) ||
        buffer.cbBuffer > static_cast<std::size_t>(recordEnd - data)) {
      return false;
    }
    message.assign(data, data + buffer.cbBuffer);
    return true;
  }
  return false;
}

}  // namespace

SendResult SendRecord(SspiChannel& channel, std::span<const std::uint8_t> message) {
  StreamSizes sizes;
  // A failure shows in the encryption.
  channel.table.QueryStreamSizes(&channel.context, &sizes);

  // Header, message and trailer must all fit: nothing is ever written past the area.
  const std::uint64_t needed = static_cast<std::uint64_t>(sizes.cbHeader) + message.size() +
                               static_cast<std::uint64_t>(sizes.cbTrailer);
  if (needed > kSendBufferSize) {
    return SendResult::EncryptFailed;
  }
  std::array<std::uint8_t, kSendBufferSize> area{};
  std::copy(message.begin(), message.end(), area.begin() + sizes.cbHeader);

  SecBuffer buffers[3];
  buffers[0] = {sizes.cbHeader, kSecBufferStreamHeader, area.data()};
  buffers[1] = {static_cast<std::uint32_t>(message.size()), kSecBufferData,
                area.data() + sizes.cbHeader};
  buffers[2] = {sizes.cbTrailer, kSecBufferStreamTrailer,
                area.data() + sizes.cbHeader + message.size()};
  SecBufferDesc list{kSecBufferVersion, 3, buffers};
  // A message that could not be encrypted is never sent: the area would still hold it in clear.
  if (IsSecFailure(channel.table.EncryptMessage(&channel.context, 0, &list, 0))) {
    return SendResult::EncryptFailed;
  }
  const std::uint64_t recordSize =
      static_cast<std::uint64_t>(buffers[0].cbBuffer) + buffers[1].cbBuffer + buffers[2].cbBuffer;
  if (recordSize > kSendBufferSize) {
    return SendResult::EncryptFailed;
  }
  return channel.SendAll(area.data(), static_cast<std::size_t>(recordSize))
             ? SendResult::Ok
             : SendResult::SendFailed;
}

ReceiveResult ReceiveRecord(SspiChannel& channel, Bytes& message) {
  message.clear();
  Bytes area(kReceiveBufferSize);
  std::size_t count = 0;
  std::size_t recordSize = 0;
  switch (GatherRecord(channel, area, count, recordSize)) {
    case Gathered::Record:
      break;
    case Gathered::ReadFailed:
      return ReceiveResult::ReceiveFailed;
    case Gathered::Closed:
      return ReceiveResult::Closed;
    case Gathered::TooLarge:
      return ReceiveResult::Unreadable;
  }
  // Bytes behind the first record belong to the next message.
  channel.pending.assign(area.begin() + static_cast<std::ptrdiff_t>(recordSize),
                         area.begin() + static_cast<std::ptrdiff_t>(count));
  return DecryptRecord(channel, area, recordSize, message) ? ReceiveResult::Ok
                                                           : ReceiveResult::Unreadable;
}

}  // namespace digital_id::sspi
