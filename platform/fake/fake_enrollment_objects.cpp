#include "platform/fake/fake_enrollment_objects.h"

namespace digital_id::fake {

std::u16string FakeEnrollmentObjects::CreateRequest(EnrollmentPath path,
                                                    EnrollmentContext context) {
  std::lock_guard lock(lock_);
  calls_.push_back({EnrollmentCall::Kind::CreateRequest, path, context, {}});
  return request;
}

std::int32_t FakeEnrollmentObjects::InstallResponse(EnrollmentPath path, EnrollmentContext context,
                                                    const std::u16string& response) {
  std::lock_guard lock(lock_);
  calls_.push_back({EnrollmentCall::Kind::InstallResponse, path, context, response});
  return installResult;
}

std::vector<EnrollmentCall> FakeEnrollmentObjects::Calls() const {
  std::lock_guard lock(lock_);
  return calls_;
}

}  // namespace digital_id::fake
