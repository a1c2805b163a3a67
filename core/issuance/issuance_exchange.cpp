#include <string>
#include <string_view>

#include "core/issuance/issuance.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

namespace {

bool Contains(const std::u16string& text, std::u16string_view marker) {
  return text.find(marker) != std::u16string::npos;
}

}  // namespace

StepEnd EvaluateServerAcknowledgement(std::u16string answer) {
  const Language language = ReadLanguage();
  if (Contains(answer, u"SRVACK;")) {
    ShowTexts(texts::kRequestSubmitted, texts::kRequestInProgress, language);
    return std::nullopt;
  }
  if (Contains(answer, u"SRVNACK;")) {
    return RunOutcome{RunResult::RequestRefused, texts::kSubmittingRequest, texts::kRequestRejected,
                      language};
  }
  return RunOutcome{RunResult::ExchangeFailed, texts::kConnectionError,
                    texts::kConnectionErrorDetail, language};
}

StepEnd EvaluateIssuanceVerdict(std::u16string verdict) {
  const Language language = ReadLanguage();
  if (Contains(verdict, u"DENIED;")) {
    return RunOutcome{RunResult::CertificateRefused, texts::kRequestDenied, texts::kDenialTextA,
                      language};
  }
  if (Contains(verdict, u"SRVNACK;")) {
    return RunOutcome{RunResult::ExchangeFailed, texts::kBadConnection, texts::kBadConnectionDetail,
                      language};
  }
  if (Contains(verdict, u"ISSUED;")) {
    ShowTexts(texts::kCertificateIssued, texts::kInstallingCertificate, language);
    return std::nullopt;
  }
  return RunOutcome{RunResult::CertificateRefused, texts::kRequestDenied, texts::kDenialTextB,
                    language};
}

}  // namespace digital_id
