#pragma once

#include "platform/tls_engine.h"

namespace digital_id {

// The security status for a failed handshake, from OpenSSL's verification result of the peer's
// chain (X509_V_OK when verification did not fail) and whether OpenSSL reported a protocol
// error (SSL_ERROR_SSL) rather than a system or memory failure.
SecStatus HandshakeFailureStatus(long verifyResult, bool protocolError);

}  // namespace digital_id
