#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "demo_pki.h"
#include "platform/linux/x509/openssl_handles.h"

namespace digital_id::test_server {

// Decodes a Base64 PKCS #10 request (lines broken by CR LF allowed) and checks its signature with
// the key it carries; null (with the reason in error) when it is not a sound request.
X509ReqPtr ParseCertificateRequest(std::string_view encodedRequest, std::string& error);

// Issues a client certificate for the request's public key: subject O=Example Org and
// CN=identity (Latin-1 bytes, as the client sends them), signed by the issuing CA with SHA-256,
// valid from an hour ago until validDays days from now, random serial, clientAuth. Returns the
// Base64 (CR LF every 64 characters) of a certs-only PKCS #7 holding the new certificate, the
// issuing CA and the root, followed by paddingCopies further copies of the issuing CA (for answers
// longer than one record); empty on failure.
std::string IssueClientCertificate(X509_REQ* request, std::string_view identity, const DemoPki& pki,
                                   long validDays, std::string& error,
                                   std::size_t paddingCopies = 0);

}  // namespace digital_id::test_server
