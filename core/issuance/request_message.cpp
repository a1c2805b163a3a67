#include "core/issuance/request_message.h"

#include <cstdio>

#include "core/issuance/enrollment_choice.h"
#include "core/issuance/issuance.h"
#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

namespace {

// "REQ;", the six digits and the separator behind them.
constexpr std::size_t kHeaderLength = 11;

}  // namespace

std::string AssembleRequestMessage(const std::u16string& secureCode,
                                   const std::u16string& identityName,
                                   const std::u16string& encodedRequest, bool sha256Mode) {
  const std::u16string body = secureCode + u";" + identityName + u";" + encodedRequest + u";" +
                              u"true" + u";" + (sha256Mode ? u"true" : u"false") + u";";
  const std::size_t length = body.size() + kHeaderLength;
  if (length > kMaxRequestMessageLength) {
    return {};
  }
  char digits[8];
  std::snprintf(digits, sizeof digits, "%06zu", length);
  return "REQ;" + std::string(digits) + ";" + Narrow(body);
}

StepEnd GenerateRequestMessage(const std::u16string& secureCode, const std::u16string& identityName,
                               std::string& message) {
  message.clear();
  Language language = Language::English;
  try {
    language = ReadLanguage();
    Services().system->ComInitialize();
    const std::u16string encodedRequest =
        Services().enrollment->CreateRequest(CurrentEnrollmentPath(), CurrentEnrollmentContext());
    if (!encodedRequest.empty()) {
      message = AssembleRequestMessage(secureCode, identityName, encodedRequest, Sha256Mode());
    }
    if (!message.empty()) {
      return std::nullopt;
    }
  } catch (...) {
    message.clear();
  }
  return FailedStep(RunResult::RequestFailed, texts::kGeneratingRequest,
                    texts::kRequestGenerationError, language);
}

}  // namespace digital_id
