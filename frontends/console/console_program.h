#pragma once

#include "frontends/console/console_platform.h"

namespace digital_id {

// The whole command-line program over a platform: the options, then either one enrollment of the
// secure code from the first line of standard input (followed on standard error by the lines of
// the platform's publication report) or, with --export-pkcs12, an export through the platform;
// the exit code.
int RunConsoleProgram(int argc, const char* const* argv, ConsolePlatform& platform);

}  // namespace digital_id
