#pragma once

#include <string>
#include <string_view>

#include "base/secret_text.h"

namespace digital_id {

// Largest total length the six-digit length field can state.
inline constexpr std::size_t kMaxRequestMessageLength = 999999;

// Assembles "REQ;" + six-digit total length + ";" + code + ";" + identity + ";" + encoded request
// + ";true;" + ("true" in SHA-256 mode, else "false") + ";" and narrows it to one byte per UTF-16
// code unit. Empty when the length would not fit six digits. The message carries the secure code,
// so it is secret text, and so is every buffer on the way.
SecretText AssembleRequestMessage(std::u16string_view secureCode,
                                  const std::u16string& identityName,
                                  const std::u16string& encodedRequest, bool sha256Mode);

}  // namespace digital_id
