// Feeds arbitrary enrollment responses to the Linux response parsing: Base64 with or without PEM
// lines, then the certificates of the decoded bytes (one certificate or a certs-only PKCS #7),
// and checks that Base64 output reads back as its input.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "fuzz/fuzz_input.h"
#include "platform/linux/enrollment/base64_text.h"
#include "platform/linux/enrollment/pkcs7_response.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace digital_id;
  const Bytes raw(data, data + size);
  for (const X509Ptr& certificate : ResponseCertificates(raw)) {
    fuzzing::Require(certificate != nullptr);
  }
  if (const std::optional<Bytes> decoded = DecodeBase64Any(fuzzing::AsText(data, size))) {
    fuzzing::Require(!decoded->empty());
    for (const X509Ptr& certificate : ResponseCertificates(*decoded)) {
      fuzzing::Require(certificate != nullptr);
    }
  }
  if (!raw.empty()) {
    const std::optional<Bytes> again = DecodeBase64Any(EncodeBase64Lines(raw));
    fuzzing::Require(again.has_value() && *again == raw);
  }
  return 0;
}
