#include "core/issuance/enrollment_choice.h"

#include "core/shell/app_state.h"
#include "core/shell/settings.h"

namespace digital_id {

EnrollmentPath CurrentEnrollmentPath() {
  return App().isPostXp.load() != 0 ? EnrollmentPath::Modern : EnrollmentPath::Legacy;
}

EnrollmentContext CurrentEnrollmentContext() {
  return MachineContext() ? EnrollmentContext::Machine : EnrollmentContext::User;
}

}  // namespace digital_id
