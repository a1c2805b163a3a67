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

SecretText AssembleRequestMessage(std::u16string_view secureCode,
                                  const std::u16string& identityName,
                                  const std::u16string& encodedRequest, bool sha256Mode) {
  const std::u16string_view mode = sha256Mode ? u"true" : u"false";
  SecretU16Text body;
  body.reserve(secureCode.size() + identityName.size() + encodedRequest.size() + mode.size() + 9);
  body.append(secureCode).append(u";").append(identityName).append(u";");
  body.append(encodedRequest).append(u";true;").append(mode).append(u";");
  const std::size_t length = body.size() + kHeaderLength;
  if (length > kMaxRequestMessageLength) {
    return {};
  }
  char digits[8];
  std::snprintf(digits, sizeof digits, "%06zu", length);
  SecretText message;
  message.reserve(length);
  message.append("REQ;").append(digits).append(";");
  // One byte per UTF-16 code unit, its low eight bits, as Narrow does.
  for (const char16_t c : body) {
    message.push_back(static_cast<char>(static_cast<unsigned char>(c & 0xFF)));
  }
  return message;
}

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
