#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "channel/secure_channel.h"
#include "channel/secure_messages.h"
#include "channel/socket_io.h"
#include "shell/app_state.h"
#include "shell/status_lines.h"
#include "shell/texts.h"

namespace digital_id {

namespace {

// Builds one record of the message in a fixed area and sends all of it. False when the message
// does not fit, the encryption fails or the send fails.
bool SendRecord(SecureChannel& channel, const std::string& message) {
  SecurityInterface* table = App().securityTable.load();
  if (table == nullptr) {
    return false;
  }
  StreamSizes sizes;
  table->QueryStreamSizes(&channel.contextHandle, &sizes);  // a failure shows in the encryption

  // Header, message and trailer must all fit: nothing is ever written past the area.
  const std::uint64_t needed = static_cast<std::uint64_t>(sizes.cbHeader) + message.size() +
                               static_cast<std::uint64_t>(sizes.cbTrailer);
  if (needed > kSendBufferSize) {
    return false;
  }
  std::array<std::uint8_t, kSendBufferSize> area{};
  std::memcpy(area.data() + sizes.cbHeader, message.data(), message.size());

  SecBuffer buffers[3];
  buffers[0] = {sizes.cbHeader, kSecBufferStreamHeader, area.data()};
  buffers[1] = {static_cast<std::uint32_t>(message.size()), kSecBufferData,
                area.data() + sizes.cbHeader};
  buffers[2] = {sizes.cbTrailer, kSecBufferStreamTrailer,
                area.data() + sizes.cbHeader + message.size()};
  SecBufferDesc list{kSecBufferVersion, 3, buffers};
  // A message that could not be encrypted is never sent: the area would still hold it in clear.
  if (IsSecFailure(table->EncryptMessage(&channel.contextHandle, 0, &list, 0))) {
    return false;
  }
  const std::uint64_t recordSize =
      static_cast<std::uint64_t>(buffers[0].cbBuffer) + buffers[1].cbBuffer + buffers[2].cbBuffer;
  if (recordSize > kSendBufferSize) {
    return false;
  }
  return SendAll(channel.serverSocket, area.data(), static_cast<std::size_t>(recordSize));
}

}  // namespace

int SendSecureMessage(SecureChannel& channel, const std::string& message) {
  Language language = Language::English;
  try {
    language = ReadLanguage();
    if (SendRecord(channel, message)) {
      return 1;
    }
  } catch (...) {
    // Reported below like any other failure.
  }
  ShowFailureTexts(texts::kConnectionClosed, texts::kUnableToSend, language);
  return 0;
}

}  // namespace digital_id
