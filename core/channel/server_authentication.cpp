#include <string>

#include "core/channel/secure_channel.h"
#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

namespace {

// Characters of the simple-name rendering of the issuer, terminator included.
constexpr std::size_t kSimpleNameChars = 256;

}  // namespace

int CheckServerIssuer(const Certificate* certificate) {
  try {
    const std::u16string expected = ReadSetting(keys::kCaIssuer);
    if (certificate == nullptr) {
      return 0;
    }
    const std::u16string issuer =
        Services().certificates->NameToSimpleString(certificate->EncodedIssuer(), kSimpleNameChars);
    // Whole strings, code unit by code unit: no case folding, trimming or reordering.
    return issuer == expected ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

StepEnd AuthenticateServer(SecureChannel& channel, Language language) {
  int result = 0;
  try {
    // Without a certificate the issuer cannot match.
    const CertificatePtr certificate =
        channel.session ? channel.session->PeerCertificate() : nullptr;
    result = CheckServerIssuer(certificate.get());
  } catch (...) {
    result = 0;
  }
  if (result == 1) {
    return std::nullopt;
  }
  return RunOutcome{RunResult::ServerNotAuthenticated, texts::kValidatingServer,
                    texts::kUnableToValidateServer, language};
}

}  // namespace digital_id
