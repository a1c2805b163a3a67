#pragma once

#include <string>

#include "console/console_options.h"

namespace digital_id {

// Runs one enrollment of the secure code over the installed platform, as the window's Submit
// would, with the settings and context the options name. Returns the exit code: 0 when the
// issued certificate was installed, 1 when the enrollment ended otherwise, 2 on a usage error
// (reported on standard error).
int RunConsoleEnrollment(const ConsoleOptions& options, const std::u16string& secureCode);

}  // namespace digital_id
