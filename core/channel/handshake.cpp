#include <string>

#include "core/channel/secure_channel.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

StepEnd PerformHandshake(SecureChannel& channel) {
  Language language = Language::English;
  try {
    // The name the server's certificate must carry, for the current mode.
    const std::u16string targetName =
        ReadSetting(ModeKey(keys::kCaFeCertNameSha256, keys::kCaFeCertNameSha1));
    const HandshakeResult result =
        channel.session ? channel.session->Handshake(channel.serverSocket, targetName)
                        : HandshakeResult::Failed;
    language = ReadLanguage();
    if (result == HandshakeResult::Ok) {
      return std::nullopt;
    }
  } catch (...) {
    // Reported below like any other failure.
  }
  // A refused certificate and every other failure show the same texts.
  return FailedStep(RunResult::HandshakeFailed, texts::kCertificateAuthenticationFailed,
                    texts::kBadServerCertificate, language);
}

}  // namespace digital_id
