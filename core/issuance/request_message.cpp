#include "core/issuance/enrollment_choice.h"
#include "core/issuance/issuance.h"
#include "core/issuance/protocol.h"
#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

StepEnd GenerateRequestMessage(std::u16string_view secureCode, const std::u16string& identityName,
                               SecretText& message) {
  message.clear();
  Language language = Language::English;
  try {
    language = ReadLanguage();
    Services().system->ComInitialize();
    const std::u16string encodedRequest =
        Services().enrollment->CreateRequest(CurrentEnrollmentPath(), CurrentEnrollmentContext());
    if (!encodedRequest.empty()) {
      message = EncodeRequestMessage(secureCode, identityName, encodedRequest, Sha256Mode());
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
