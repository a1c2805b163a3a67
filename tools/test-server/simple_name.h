#pragma once

#include <string>

#include <openssl/x509.h>

namespace digital_id::test_server {

// Renders a name the way the client's certificate stores do for a "simple name": attribute values
// only, in encoded order, ", " between RDNs and " + " inside a multi-valued RDN; a value holding
// a separator, a quote or surrounding spaces is put in double quotes (inner quotes doubled).
// UTF-8 text.
std::string RenderSimpleName(const X509_NAME* name);

}  // namespace digital_id::test_server
