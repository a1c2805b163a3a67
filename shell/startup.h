#pragma once

namespace digital_id {

// The program's start-up and main loop over the installed platform: operating-system generation,
// window class, settings path, the two start-up flags, the window, the report of a failed version
// query, and the message loop. Returns the exit code (the quit message's, always 0).
int RunInstaller(void* instance, int showCommand);

}  // namespace digital_id
