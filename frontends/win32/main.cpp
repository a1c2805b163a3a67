// digital-id-installer.exe: the entry point of the Windows program.
#include <windows.h>

#include "core/shell/startup.h"
#include "frontends/win32/win32_window_system.h"
#include "platform/win/win_platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
  digital_id::Win32WindowSystem windows;
  digital_id::WinPlatform platform(windows);
  digital_id::InstallPlatform(&platform.Services());
  const int exitCode = digital_id::RunInstaller(instance, showCommand);
  // An enrollment may still run on its worker thread and use the services above: the process
  // ends here, with that thread, before any of them is destroyed.
  ExitProcess(static_cast<UINT>(exitCode));
}
