#include "platform/linux/tls/tls_verification_errors.h"

#include <openssl/x509_vfy.h>

namespace digital_id {

HandshakeResult HandshakeFailureResult(long verifyResult) {
  switch (verifyResult) {
    case X509_V_OK:
      // The chain and name were never judged: the socket failed or closed, or the server sent
      // something the client refused (another protocol version, no TLS at all).
      return HandshakeResult::Failed;
    case X509_V_ERR_OUT_OF_MEM:
      return HandshakeResult::Failed;
    default:
      // Untrusted or incomplete chains, names other than the target, certificates out of their
      // validity, bad signatures, wrong purposes and the like.
      return HandshakeResult::CertificateRefused;
  }
}

}  // namespace digital_id
