#pragma once

#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/x509/openssl_handles.h"

namespace digital_id {

// The certificates of a decoded enrollment response: the DER bytes are either exactly one
// certificate or exactly one signed PKCS #7 (certs-only) carrying certificates. Empty when the
// bytes are neither.
std::vector<X509Ptr> ResponseCertificates(const Bytes& der);

}  // namespace digital_id
