#pragma once

#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/x509/openssl_handles.h"

namespace digital_id {

// Client credentials: a TLS 1.2-only client context without a client certificate that verifies
// the server against the system's default trust paths plus the given extra roots (entries that
// are not exactly one DER certificate are skipped). Null when OpenSSL cannot set it up.
SslCtxPtr NewClientCredentials(const std::vector<Bytes>& extraRoots);

}  // namespace digital_id
