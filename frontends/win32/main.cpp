// digital-id-installer.exe: the entry point of the Windows program.
#include <windows.h>

#include "platform/win/win_platform.h"
#include "platform/win/win_window_system.h"
#include "shell/app_state.h"
#include "shell/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
  digital_id::WinWindowSystem windows;
  digital_id::WinPlatform platform(windows);
  digital_id::ResetAppState(&platform.Services());
  const int exitCode = digital_id::RunInstaller(instance, showCommand);
  // An enrollment may still run on its worker thread and use the services above: the process
  // ends here, with that thread, before any of them is destroyed.
  ExitProcess(static_cast<UINT>(exitCode));
}
