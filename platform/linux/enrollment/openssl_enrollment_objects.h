#pragma once

#include <cstdint>
#include <string>

#include "platform/enrollment_objects.h"
#include "platform/linux/enrollment/publication_hooks.h"
#include "platform/linux/stores/file_cert_services.h"

namespace digital_id {

// Result codes of the enrollment objects, with the values of the Windows errors they stand for.
inline constexpr std::int32_t kCryptENotFound = static_cast<std::int32_t>(0x80092004);
inline constexpr std::int32_t kCryptEAsn1Eod = static_cast<std::int32_t>(0x80093102);
inline constexpr std::int32_t kEInvalidData = static_cast<std::int32_t>(0x8007000D);
inline constexpr std::int32_t kEAccessDenied = static_cast<std::int32_t>(0x80070005);
inline constexpr std::int32_t kEnrollFail = static_cast<std::int32_t>(0x80004005);

// Enrollment objects over OpenSSL and the file stores. Requests: an RSA 2048 key and a PKCS #10
// with an empty subject signed with SHA-256; the pending key waits in REQUEST of the context's
// location. Responses: the leaf that matches a pending key goes to My with that key, the other
// certificates to CA (unless CA holds them already). The modern and the legacy path behave alike.
// A response is installed so that a process killed at any point leaves the pending key in
// REQUEST or the complete pair in My (or both, until the next installation removes the pending
// copy of a key that My already holds).
class OpenSslEnrollmentObjects : public EnrollmentObjects {
 public:
  // Uses the stores of services, which must outlive this object; tells hooks (null for none,
  // else it must outlive this object too) of each installed identity.
  explicit OpenSslEnrollmentObjects(FileCertServices& services, PublicationHooks* hooks = nullptr);

  // Returns the request as Base64 in lines of 64 characters, each ended by CR LF (the last one
  // too); empty when any step fails.
  std::u16string CreateRequest(EnrollmentPath path, EnrollmentContext context) override;
  // Returns 0 when installed; kEInvalidData for text that is not Base64, kCryptEAsn1Eod for
  // bytes that are no certificate or PKCS #7, kCryptENotFound when no pending key matches,
  // kEAccessDenied when a store cannot be opened, kEnrollFail when a write fails. Nothing is
  // changed unless the result is 0 (except that pending keys My already holds leave REQUEST). After
  // a success the hooks publish the identity; what they do never changes the result.
  std::int32_t InstallResponse(EnrollmentPath path, EnrollmentContext context,
                               const std::u16string& response) override;

 private:
  FileCertServices& services_;
  PublicationHooks* hooks_;
};

}  // namespace digital_id
