#pragma once

#include <string>

#include "platform/linux/x509/openssl_handles.h"

namespace digital_id::test_server {

// The validity a copy of a certificate is given.
enum class Validity {
  Expired,      // from 30 days ago to yesterday
  NotYetValid,  // from 30 days on, for a year
};

// A copy of original (same subject, key and extensions) with another validity and serial,
// signed again with signingKey (the issuer's key, or the subject's own for a root). Null on
// failure, with the reason in error.
X509Ptr CopyWithValidity(X509* original, EVP_PKEY* signingKey, Validity validity,
                         std::string& error);

// A copy of a server certificate for dnsName alone (subject CN and the only subject alternative
// name), signed again with signingKey. Null on failure, with the reason in error.
X509Ptr CopyForOtherName(X509* original, EVP_PKEY* signingKey, const std::string& dnsName,
                         std::string& error);

}  // namespace digital_id::test_server
