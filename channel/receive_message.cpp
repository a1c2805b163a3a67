#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "channel/secure_channel.h"
#include "channel/secure_messages.h"
#include "channel/tls_record.h"
#include "shell/app_state.h"
#include "shell/status_lines.h"
#include "shell/texts.h"

namespace digital_id {

namespace {

// How gathering a record ended.
enum class Gathered { Record, ReadFailed, Closed, TooLarge };

// Gathers the first whole record into area: bytes kept from the previous receive first, then
// reads (each bounded by the socket's receive time-out) until the record's header says it is
// all in. count receives the bytes held, recordSize the size of the first record.
Gathered GatherRecord(SecureChannel& channel, std::vector<std::uint8_t>& area, std::size_t& count,
                      std::size_t& recordSize) {
  count = std::min(channel.pendingBytes.size(), area.size());
  std::copy_n(channel.pendingBytes.begin(), count, area.begin());
  channel.pendingBytes.clear();

  Sockets& sockets = *Services().sockets;
  for (;;) {
    const std::optional<std::size_t> size = TlsRecordSize(area.data(), count);
    if (size && *size > area.size()) {
      return Gathered::TooLarge;
    }
    if (size && *size <= count) {
      recordSize = *size;
      return Gathered::Record;
    }
    const std::size_t room = std::min(area.size() - count, kMaxReadSize);
    const int received =
        sockets.Receive(channel.serverSocket, area.data() + count, static_cast<int>(room));
    if (received == kSocketError || received < 0 || static_cast<std::size_t>(received) > room) {
      return Gathered::ReadFailed;
    }
    if (received == 0) {
      return Gathered::Closed;
    }
    count += static_cast<std::size_t>(received);
  }
}

// One received byte as a UTF-16 code unit, sign-extended: 0x80 to 0xFF become 0xFF80 to 0xFFFF.
char16_t WidenSigned(std::uint8_t byte) {
  return byte < 0x80 ? static_cast<char16_t>(byte) : static_cast<char16_t>(0xFF00 | byte);
}

// Decrypts the record at the start of area in place and returns its content up to its first
// zero byte; empty when it does not decrypt or holds no data.
std::u16string DecryptRecord(SecureChannel& channel, std::vector<std::uint8_t>& area,
                             std::size_t recordSize) {
  SecurityInterface* table = App().securityTable.load();
  if (table == nullptr) {
    return {};
  }
  SecBuffer buffers[4];
  buffers[0] = {static_cast<std::uint32_t>(recordSize), kSecBufferData, area.data()};
  SecBufferDesc list{kSecBufferVersion, 4, buffers};
  if (IsSecFailure(table->DecryptMessage(&channel.contextHandle, &list, 0, nullptr))) {
    return {};
  }
  const std::less<const std::uint8_t*> before;
  const std::uint8_t* const areaStart = area.data();
  const std::uint8_t* const areaEnd = area.data() + recordSize;
  for (const SecBuffer& buffer : buffers) {
    if (buffer.BufferType != kSecBufferData) {
      continue;
    }
    const auto* data = static_cast<const std::uint8_t*>(buffer.pvBuffer);
    // Only bytes inside the record are read, whatever the package reports.
    if (data == nullptr || before(data, areaStart) || before(areaEnd, data) ||
        buffer.cbBuffer > static_cast<std::size_t>(areaEnd - data)) {
      return {};
    }
    std::u16string text;
    for (std::uint32_t i = 0; i < buffer.cbBuffer && data[i] != 0; ++i) {
      text.push_back(WidenSigned(data[i]));
    }
    return text;
  }
  return {};
}

}  // namespace

std::u16string ReceiveSecureMessage(SecureChannel& channel) {
  try {
    const Language language = ReadLanguage();
    std::vector<std::uint8_t> area(kReceiveBufferSize);
    std::size_t count = 0;
    std::size_t recordSize = 0;
    switch (GatherRecord(channel, area, count, recordSize)) {
      case Gathered::Record:
        break;
      case Gathered::ReadFailed:
        ShowTexts(texts::kConnectionClosed, texts::kUnableToReceive, language);
        return {};
      case Gathered::Closed:
      case Gathered::TooLarge:
        return {};
    }
    // Bytes behind the first record belong to the next message.
    channel.pendingBytes.assign(area.begin() + static_cast<std::ptrdiff_t>(recordSize),
                                area.begin() + static_cast<std::ptrdiff_t>(count));
    return DecryptRecord(channel, area, recordSize);
  } catch (...) {
    return {};
  }
}

}  // namespace digital_id
