#include "issuance_protocol.h"

#include <vector>

namespace digital_id::test_server {

namespace {

constexpr std::string_view kPrefix = "REQ;";
constexpr std::size_t kHeaderLength = 11;  // "REQ;" + six digits + ";"
constexpr std::size_t kMaxCodeLength = 64;
constexpr std::size_t kMaxIdentityLength = 256;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsCodeText(std::string_view code) {
  if (code.empty() || code.size() > kMaxCodeLength) return false;
  for (const char c : code) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '-')) return false;
  }
  return true;
}

std::vector<std::string_view> SplitFields(std::string_view body) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == ';') {
      fields.push_back(body.substr(start, i - start));
      start = i + 1;
    }
  }
  return fields;
}

}  // namespace

Framing CheckFraming(std::string_view received) {
  for (std::size_t i = 0; i < received.size() && i < kHeaderLength; ++i) {
    const char c = received[i];
    const bool fits = i < kPrefix.size() ? c == kPrefix[i] : i < 10 ? IsDigit(c) : c == ';';
    if (!fits) return Framing::Malformed;
  }
  if (received.size() < kHeaderLength) return Framing::NeedMore;
  std::size_t declared = 0;
  for (std::size_t i = kPrefix.size(); i < 10; ++i) {
    declared = declared * 10 + static_cast<std::size_t>(received[i] - '0');
  }
  if (declared <= kHeaderLength || declared > kMaxRequestBytes || received.size() > declared) {
    return Framing::Malformed;
  }
  return received.size() == declared ? Framing::Complete : Framing::NeedMore;
}

std::optional<RequestMessage> ParseRequestMessage(std::string_view message, std::string& reason) {
  if (CheckFraming(message) != Framing::Complete) {
    reason = "framing";
    return std::nullopt;
  }
  const std::string_view body = message.substr(kHeaderLength);
  if (body.empty() || body.back() != ';') {
    reason = "message does not end with ';'";
    return std::nullopt;
  }
  // Code first, the last three fields from the end; the identity is what lies between, so an
  // identity holding ';' still arrives whole.
  const std::vector<std::string_view> fields = SplitFields(body);
  if (fields.size() < 5) {
    reason = "too few fields";
    return std::nullopt;
  }
  const std::size_t n = fields.size();
  RequestMessage parsed;
  parsed.code = std::string(fields[0]);
  const std::size_t identityStart = fields[0].size() + 1;
  const std::size_t identityEnd = static_cast<std::size_t>(fields[n - 3].data() - body.data()) - 1;
  parsed.identity = std::string(body.substr(identityStart, identityEnd - identityStart));
  parsed.encodedRequest = std::string(fields[n - 3]);
  if (!IsCodeText(parsed.code)) {
    reason = "code is not 1 to 64 letters, digits or hyphens";
  } else if (parsed.identity.empty() || parsed.identity.size() > kMaxIdentityLength) {
    reason = "identity name is empty or too long";
  } else if (parsed.encodedRequest.empty()) {
    reason = "encoded request is empty";
  } else if (fields[n - 2] != "true") {
    reason = "fourth field is not \"true\"";
  } else if (fields[n - 1] != "true" && fields[n - 1] != "false") {
    reason = "SHA-256 flag is neither \"true\" nor \"false\"";
  } else {
    parsed.sha256 = fields[n - 1] == "true";
    return parsed;
  }
  return std::nullopt;
}

}  // namespace digital_id::test_server
