#include "core/issuance/protocol.h"

#include <cstdio>

namespace digital_id {

namespace {

constexpr std::u16string_view kAcceptedMarker = u"SRVACK;";
constexpr std::u16string_view kRefusedMarker = u"SRVNACK;";
constexpr std::u16string_view kDeniedMarker = u"DENIED;";
constexpr std::u16string_view kIssuedMarker = u"ISSUED;";

// "REQ;", the six digits and the separator behind them.
constexpr std::size_t kHeaderLength = 11;

bool Contains(std::u16string_view text, std::u16string_view marker) {
  return text.find(marker) != std::u16string_view::npos;
}

}  // namespace

SecretText EncodeRequestMessage(std::u16string_view secureCode, std::u16string_view identityName,
                                std::u16string_view encodedRequest, bool sha256Mode) {
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

ServerAcknowledgement ClassifyServerAcknowledgement(std::u16string_view answer) {
  if (Contains(answer, kAcceptedMarker)) {
    return ServerAcknowledgement::Accepted;
  }
  if (Contains(answer, kRefusedMarker)) {
    return ServerAcknowledgement::Refused;
  }
  return ServerAcknowledgement::Unrecognised;
}

IssuanceVerdict ClassifyIssuanceVerdict(std::u16string_view verdict) {
  if (Contains(verdict, kDeniedMarker)) {
    return IssuanceVerdict::Denied;
  }
  if (Contains(verdict, kRefusedMarker)) {
    return IssuanceVerdict::Failed;
  }
  if (Contains(verdict, kIssuedMarker)) {
    return IssuanceVerdict::Issued;
  }
  return IssuanceVerdict::Unrecognised;
}

std::u16string IssuedResponse(std::u16string_view verdict) {
  const std::size_t marker = verdict.find(kIssuedMarker);
  if (marker == std::u16string_view::npos) {
    return {};
  }
  return std::u16string(verdict.substr(marker + kIssuedMarker.size()));
}

}  // namespace digital_id
