#pragma once

#include <string>
#include <vector>

#include "demo_pki.h"
#include "platform/linux/x509/openssl_handles.h"

namespace digital_id::test_server {

// A server context for one TLS version only (1.minorVersion; 1.2 unless a test asks otherwise)
// that presents server's certificate followed by chain (the intermediates, leaf side first).
// Versions below 1.2 run at security level 0, which they need. Null (with the reason in error)
// on failure.
SslCtxPtr MakeTlsServerContext(const CertifiedKey& server, const std::vector<X509*>& chain,
                               std::string& error, int minorVersion = 2);

// Makes the context ask every client for a certificate issued by one of authorities, which it
// may withhold: whatever comes, or nothing, is accepted. False (with the reason in error) on
// failure.
bool AskForOptionalClientCertificate(SSL_CTX* context, const std::vector<X509*>& authorities,
                                     std::string& error);

}  // namespace digital_id::test_server
