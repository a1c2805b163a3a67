#include "platform/linux/enrollment/pkcs7_response.h"

#include <openssl/pkcs7.h>

#include <climits>

#include "platform/linux/x509/openssl_certificate.h"

namespace digital_id {

std::vector<X509Ptr> ResponseCertificates(const Bytes& der) {
  std::vector<X509Ptr> certificates;
  if (der.empty() || der.size() > static_cast<std::size_t>(LONG_MAX)) {
    return certificates;
  }
  if (X509Ptr single = ParseExactDer(der.data(), der.size())) {
    certificates.push_back(std::move(single));
    return certificates;
  }
  const unsigned char* cursor = der.data();
  Pkcs7Ptr pkcs7(d2i_PKCS7(nullptr, &cursor, static_cast<long>(der.size())));
  if (!pkcs7 || cursor != der.data() + der.size() || PKCS7_type_is_signed(pkcs7.get()) == 0 ||
      pkcs7->d.sign == nullptr || pkcs7->d.sign->cert == nullptr) {
    return certificates;
  }
  const STACK_OF(X509)* stack = pkcs7->d.sign->cert;
  for (int i = 0; i < sk_X509_num(stack); ++i) {
    X509* certificate = sk_X509_value(stack, i);
    if (certificate == nullptr || X509_up_ref(certificate) != 1) {
      certificates.clear();
      return certificates;
    }
    certificates.emplace_back(certificate);
  }
  return certificates;
}

}  // namespace digital_id
