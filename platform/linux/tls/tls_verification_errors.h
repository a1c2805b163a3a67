#pragma once

#include "platform/tls_session.h"

namespace digital_id {

// The result of a failed handshake, from OpenSSL's verification result of the server's chain
// and name (X509_V_OK when verification did not fail or never ran): the one place where OpenSSL's
// handshake failures become the session's results.
HandshakeResult HandshakeFailureResult(long verifyResult);

}  // namespace digital_id
