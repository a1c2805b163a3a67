#include <string>

#include "core/issuance/issuance.h"
#include "core/issuance/protocol.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

StepEnd EvaluateServerAcknowledgement(std::u16string answer) {
  const Language language = ReadLanguage();
  switch (ClassifyServerAcknowledgement(answer)) {
    case ServerAcknowledgement::Accepted:
      ShowTexts(texts::kRequestSubmitted, texts::kRequestInProgress, language);
      return std::nullopt;
    case ServerAcknowledgement::Refused:
      return RunOutcome{RunResult::RequestRefused, texts::kSubmittingRequest,
                        texts::kRequestRejected, language};
    case ServerAcknowledgement::Unrecognised:
      break;
  }
  return RunOutcome{RunResult::ExchangeFailed, texts::kConnectionError,
                    texts::kConnectionErrorDetail, language};
}

StepEnd EvaluateIssuanceVerdict(std::u16string verdict) {
  const Language language = ReadLanguage();
  switch (ClassifyIssuanceVerdict(verdict)) {
    case IssuanceVerdict::Denied:
      return RunOutcome{RunResult::CertificateRefused, texts::kRequestDenied, texts::kDenialTextA,
                        language};
    case IssuanceVerdict::Failed:
      return RunOutcome{RunResult::ExchangeFailed, texts::kBadConnection,
                        texts::kBadConnectionDetail, language};
    case IssuanceVerdict::Issued:
      ShowTexts(texts::kCertificateIssued, texts::kInstallingCertificate, language);
      return std::nullopt;
    case IssuanceVerdict::Unrecognised:
      break;
  }
  return RunOutcome{RunResult::CertificateRefused, texts::kRequestDenied, texts::kDenialTextB,
                    language};
}

}  // namespace digital_id
