#pragma once

#include <string>

#include "demo_pki.h"
#include "event_log.h"
#include "platform/linux/x509/openssl_handles.h"
#include "stop_signal.h"
#include "unique_fd.h"

namespace digital_id::test_server {

// The TLS context (TLS 1.2 or 1.3) of the client-authentication endpoint: it presents the
// regular server certificate with the issuing CA, and requires a client certificate issued by
// the issuing CA, which is its only trust anchor (a certificate from another issuer under the
// same root is refused). The issuing CA and the root are named as acceptable issuers, so that a
// browser offers the right certificate. Null (with the reason in error) on failure.
SslCtxPtr MakeClientAuthContext(const DemoPki& pki, std::string& error);

// Serves one HTTPS connection of the endpoint: the handshake (which fails without an acceptable
// client certificate), one request head, and for GET an HTTP/1.1 answer 200 with Content-Type
// text/plain and the body "subject: <RFC 2253 subject of the client certificate>\n" (405 for
// other methods), then the connection closes. Logs "client-auth <subject>" or
// "client-auth refused". Never throws.
void ServeClientAuthConnection(UniqueFd socket, SSL_CTX* context, const StopSignal& stop,
                               EventLog& log);

// The RFC 2253 rendering of a name ("CN=...,O=...,C=..."); empty on failure.
std::string Rfc2253Name(const X509_NAME* name);

}  // namespace digital_id::test_server
