#include <cstdint>
#include <span>
#include <string>

#include "core/channel/secure_channel.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

StepEnd SendSecureMessage(SecureChannel& channel, std::string_view message) {
  Language language = Language::English;
  try {
    language = ReadLanguage();
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(message.data()),
                                              message.size());
    // A message that could not be made into a record and one the socket refused read the same.
    if (channel.session && channel.session->Send(bytes) == SendResult::Ok) {
      return std::nullopt;
    }
  } catch (...) {
    // Reported below like any other failure.
  }
  return FailedStep(RunResult::SendFailed, texts::kConnectionClosed, texts::kUnableToSend,
                    language);
}

}  // namespace digital_id
