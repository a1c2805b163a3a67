#pragma once

#include "platform/enrollment_objects.h"

namespace digital_id {

// The modern enrollment objects on post-XP systems, the legacy control before.
EnrollmentPath CurrentEnrollmentPath();

// Machine context when advance mode is on and Machine is selected (asked anew), else user.
EnrollmentContext CurrentEnrollmentContext();

}  // namespace digital_id
