#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/secret_text.h"

namespace digital_id {

// The issuance protocol on the wire: how the request message is laid out, how the server's two
// answers are recognised, what follows "ISSUED;" and the client's last message. Pure: no
// settings, no texts, no platform.

// Largest total length the six-digit length field of a request message can state.
inline constexpr std::size_t kMaxRequestMessageLength = 999999;

// The client's acknowledgement of the verdict: exactly these 7 bytes, whatever the verdict was.
inline constexpr std::string_view kClientAcknowledgement = "CLTACK;";

// Encodes "REQ;" + six-digit total length + ";" + code + ";" + identity + ";" + encoded request
// + ";true;" + ("true" in SHA-256 mode, else "false") + ";" and narrows it to one byte per UTF-16
// code unit, its low eight bits. Empty when the length would not fit six digits. The message
// carries the secure code, so it is secret text, and so is every buffer on the way.
SecretText EncodeRequestMessage(std::u16string_view secureCode, std::u16string_view identityName,
                                std::u16string_view encodedRequest, bool sha256Mode);

// What the server's first answer says. Markers count anywhere in the text, case-sensitively.
enum class ServerAcknowledgement {
  Accepted,      // contains "SRVACK;" (tested first, so it wins over "SRVNACK;")
  Refused,       // else contains "SRVNACK;"
  Unrecognised,  // neither: unexpected contents, or the empty text of a failed receive
};

// Classifies the first answer.
ServerAcknowledgement ClassifyServerAcknowledgement(std::u16string_view answer);

// What the verdict says; the markers are tested in this order and the first found decides.
enum class IssuanceVerdict {
  Denied,        // contains "DENIED;"
  Failed,        // else contains "SRVNACK;": the request failed at this stage
  Issued,        // else contains "ISSUED;": the response to install follows it
  Unrecognised,  // none of them
};

// Classifies the second answer.
IssuanceVerdict ClassifyIssuanceVerdict(std::u16string_view verdict);

// The response to install: everything after the first "ISSUED;" up to the end, unchanged (a
// second marker included); empty when the verdict holds no "ISSUED;".
std::u16string IssuedResponse(std::u16string_view verdict);

}  // namespace digital_id
