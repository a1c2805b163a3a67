#pragma once

#include <string>

namespace digital_id {

// The settings file in the current directory; empty (every setting then reads empty) when the
// current directory cannot be had.
std::u16string SettingsPathInCurrentDirectory();

// Asks the operating system for its major version and sets AppState.isPostXp: 1 from version 6
// on, 0 before it and when the query fails. False when the query failed.
bool DetectOsGeneration();

// Reads AdvanceMode and ForceSHA256 into AppState by the flag rule.
void ReadStartupFlags();

// The program's start-up and main loop over the installed platform: operating-system generation,
// window class, settings path, the two start-up flags, the window, the report of a failed version
// query, and the message loop. Returns the exit code (the quit message's, always 0).
int RunInstaller(void* instance, int showCommand);

}  // namespace digital_id
