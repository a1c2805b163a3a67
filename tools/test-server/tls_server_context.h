#pragma once

#include <string>
#include <vector>

#include "demo_pki.h"
#include "openssl_handles.h"

namespace digital_id::test_server {

// A server context for TLS 1.2 only that presents server's certificate followed by chain (the
// intermediates, leaf side first). Null (with the reason in error) on failure.
SslCtxPtr MakeTlsServerContext(const CertifiedKey& server, const std::vector<X509*>& chain,
                               std::string& error);

}  // namespace digital_id::test_server
