#include <cstdint>
#include <string>

#include "core/channel/secure_channel.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

namespace {

// One received byte as a UTF-16 code unit, sign-extended: 0x80 to 0xFF become 0xFF80 to 0xFFFF.
char16_t WidenSigned(std::uint8_t byte) {
  return byte < 0x80 ? static_cast<char16_t>(byte) : static_cast<char16_t>(0xFF00 | byte);
}

}  // namespace

std::u16string ReceiveSecureMessage(SecureChannel& channel) {
  try {
    const Language language = ReadLanguage();
    if (!channel.session) {
      return {};
    }
    Bytes message;
    switch (channel.session->Receive(message)) {
      case ReceiveResult::Ok:
        break;
      case ReceiveResult::ReceiveFailed:
        ShowTexts(texts::kConnectionClosed, texts::kUnableToReceive, language);
        return {};
      case ReceiveResult::Closed:
      case ReceiveResult::Unreadable:
        // The caller's evaluation of the empty text tells the user.
        return {};
    }
    std::u16string text;
    for (const std::uint8_t byte : message) {
      if (byte == 0) {
        break;
      }
      text.push_back(WidenSigned(byte));
    }
    return text;
  } catch (...) {
    return {};
  }
}

}  // namespace digital_id
