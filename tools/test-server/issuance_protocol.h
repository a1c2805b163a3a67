#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace digital_id::test_server {

// Markers of the issuance exchange.
inline constexpr std::string_view kAccepted = "SRVACK;";
inline constexpr std::string_view kRefused = "SRVNACK;";
inline constexpr std::string_view kIssued = "ISSUED;";
inline constexpr std::string_view kDenied = "DENIED;";
inline constexpr std::string_view kClientAck = "CLTACK;";

// Largest request message accepted (the length field could announce up to 999,999 bytes).
inline constexpr std::size_t kMaxRequestBytes = 64 * 1024;

// How far the bytes received so far make up a request message.
enum class Framing {
  NeedMore,   // a correct beginning; the length field is not yet satisfied
  Complete,   // exactly as many bytes as the length field announces
  Malformed,  // wrong prefix, bad length field, too long, or more bytes than announced
};

// Judges the bytes received so far: "REQ;" + six digits + ";" with the total message length.
Framing CheckFraming(std::string_view received);

// The fields of a request message: "REQ;" + length + ";" + code + ";" + identity + ";" +
// Base64 PKCS #10 + ";" + "true" + ";" + SHA-256 flag + ";".
struct RequestMessage {
  std::string code;            // letters, digits and hyphens, 1 to 64 characters
  std::string identity;        // Latin-1 bytes as sent, never empty
  std::string encodedRequest;  // the Base64 text, line breaks included
  bool sha256 = false;         // the last field: "true" or "false"
};

// Splits a complete message into its fields; nothing (with the reason in reason) when a field is
// missing or does not hold what it must.
std::optional<RequestMessage> ParseRequestMessage(std::string_view message, std::string& reason);

}  // namespace digital_id::test_server
