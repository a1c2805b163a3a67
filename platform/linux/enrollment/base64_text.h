#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/cert_store.h"

namespace digital_id {

// Base64 of the bytes in lines of 64 characters, each line (the last one included) ended by
// CR LF, as the platform's enrollment objects break their output.
std::string EncodeBase64Lines(const Bytes& bytes);

// Decodes Base64 text with or without PEM header lines ("-----BEGIN ...-----" and "-----END
// ...-----" are skipped) and with any line breaks or blanks; nullopt when the text is not
// Base64 or holds no data.
std::optional<Bytes> DecodeBase64Any(std::string_view text);

}  // namespace digital_id
