#include <string>
#include <string_view>

#include "issuance/issuance.h"
#include "shell/status_lines.h"
#include "shell/texts.h"

namespace digital_id {

namespace {

bool Contains(const std::u16string& text, std::u16string_view marker) {
  return text.find(marker) != std::u16string::npos;
}

}  // namespace

int EvaluateServerAcknowledgement(std::u16string answer) {
  const Language language = ReadLanguage();
  if (Contains(answer, u"SRVACK;")) {
    ShowTexts(texts::kRequestSubmitted, texts::kRequestInProgress, language);
    return 1;
  }
  if (Contains(answer, u"SRVNACK;")) {
    ShowTexts(texts::kSubmittingRequest, texts::kRequestRejected, language);
    return 0;
  }
  ShowTexts(texts::kConnectionError, texts::kConnectionErrorDetail, language);
  return 0;
}

int EvaluateIssuanceVerdict(std::u16string verdict) {
  const Language language = ReadLanguage();
  if (Contains(verdict, u"DENIED;")) {
    ShowTexts(texts::kRequestDenied, texts::kDenialTextA, language);
    return 0;
  }
  if (Contains(verdict, u"SRVNACK;")) {
    ShowTexts(texts::kBadConnection, texts::kBadConnectionDetail, language);
    return 0;
  }
  if (Contains(verdict, u"ISSUED;")) {
    ShowTexts(texts::kCertificateIssued, texts::kInstallingCertificate, language);
    return 1;
  }
  ShowTexts(texts::kRequestDenied, texts::kDenialTextB, language);
  return 0;
}

}  // namespace digital_id
