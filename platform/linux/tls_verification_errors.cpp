#include "platform/linux/tls_verification_errors.h"

#include <openssl/x509_vfy.h>

namespace digital_id {

namespace {

// The status for a chain or name that did not verify.
SecStatus VerificationStatus(long verifyResult) {
  switch (verifyResult) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_CHAIN_TOO_LONG:
    case X509_V_ERR_PATH_LENGTH_EXCEEDED:
      return kSecEUntrustedRoot;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
    case X509_V_ERR_EMAIL_MISMATCH:
      return kSecEWrongPrincipal;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
      return kSecECertExpired;
    case X509_V_ERR_OUT_OF_MEM:
      return kSecEInternalError;
    default:
      // Bad signatures, revoked or rejected certificates, wrong purposes and the like.
      return kSecECertUnknown;
  }
}

}  // namespace

SecStatus HandshakeFailureStatus(long verifyResult, bool protocolError) {
  if (verifyResult != X509_V_OK) {
    return VerificationStatus(verifyResult);
  }
  // A protocol error is a message the engine refused (or a fatal alert it received, such as a
  // server that speaks no TLS 1.2); anything else is a failure of the engine itself.
  return protocolError ? kSecEIllegalMessage : kSecEInternalError;
}

}  // namespace digital_id
