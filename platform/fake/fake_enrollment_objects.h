#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/enrollment_objects.h"
#include "platform/lock.h"

namespace digital_id::fake {

// One call the core made on the enrollment objects.
struct EnrollmentCall {
  enum class Kind { CreateRequest, InstallResponse };
  Kind kind;
  EnrollmentPath path;
  EnrollmentContext context;
  std::u16string response;  // InstallResponse
};

// Enrollment objects with a settable request and installation result; records every call.
class FakeEnrollmentObjects : public EnrollmentObjects {
 public:
  std::u16string CreateRequest(EnrollmentPath path, EnrollmentContext context) override;
  std::int32_t InstallResponse(EnrollmentPath path, EnrollmentContext context,
                               const std::u16string& response) override;

  // Test controls.
  std::u16string request = u"MIIBfake\r\nrequest==\r\n";
  std::int32_t installResult = 0;

  // Observations.
  std::vector<EnrollmentCall> Calls() const;

 private:
  mutable Lock lock_;
  std::vector<EnrollmentCall> calls_;
};

}  // namespace digital_id::fake
