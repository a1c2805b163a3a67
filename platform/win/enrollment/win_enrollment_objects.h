#pragma once

#include "platform/enrollment_objects.h"

namespace digital_id {

// The certificate-enrollment COM objects of Windows: CX509PrivateKey,
// CX509CertificateRequestPkcs10 and CX509Enrollment on the modern path, CEnroll through IEnroll4
// on the legacy path. COM must be initialised on the calling thread.
class WinEnrollmentObjects : public EnrollmentObjects {
 public:
  // The calls of the chosen path in their order; the plain Base64 request, empty on failure.
  std::u16string CreateRequest(EnrollmentPath path, EnrollmentContext context) override;
  // InstallResponse (modern) or acceptResponseBlob (legacy); their result, or the creation
  // failure when the object cannot be created.
  std::int32_t InstallResponse(EnrollmentPath path, EnrollmentContext context,
                               const std::u16string& response) override;
};

}  // namespace digital_id
