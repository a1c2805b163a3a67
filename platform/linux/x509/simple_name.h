#pragma once

#include <cstddef>
#include <string>

#include "platform/cert_store.h"

namespace digital_id {

// Renders a DER X.509 name in the simple-name form: attribute values only, in encoded order,
// ", " between RDNs and " + " inside a multi-valued RDN, each value quoted when it holds a
// character that needs it. The result is cut to bufferChars - 1 characters; an undecodable name
// renders as the empty text.
std::u16string RenderSimpleName(const Bytes& encodedName, std::size_t bufferChars);

}  // namespace digital_id
