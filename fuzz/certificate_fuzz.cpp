// Feeds arbitrary bytes to certificate creation and to the simple-name rendering of names, both
// of the names of a certificate that parsed and of bytes taken as a DER name.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "platform/linux/stores/file_cert_services.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace digital_id;
  FileCertServices services;
  // The first byte chooses the buffer size of the rendering, so that cuts are exercised.
  const std::size_t bufferChars = size > 0 ? data[0] + 1u : 256u;
  const Bytes bytes(data, data + size);
  const std::u16string rendered = services.NameToSimpleString(bytes, bufferChars);
  fuzzing::Require(rendered.size() < bufferChars);

  if (CertificatePtr certificate = services.CreateFromDer(data, size)) {
    fuzzing::Require(certificate->Encoded() == bytes);
    fuzzing::Require(services.NameToSimpleString(certificate->EncodedSubject(), 256).size() < 256);
    fuzzing::Require(services.NameToSimpleString(certificate->EncodedIssuer(), 256).size() < 256);
    fuzzing::Require(services.Thumbprint(ThumbprintAlgorithm::Sha1, *certificate).size() == 20);
    fuzzing::Require(services.Thumbprint(ThumbprintAlgorithm::Sha256, *certificate).size() == 32);
    (void)certificate->NotBefore();
    (void)certificate->NotAfter();
    (void)certificate->SignatureAlgorithmOid();
  }
  return 0;
}
