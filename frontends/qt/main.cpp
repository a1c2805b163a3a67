// digital-id-installer: the installer's window on Linux, over Qt Widgets.
#include <QApplication>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "core/shell/app_state.h"
#include "core/shell/startup.h"
#include "frontends/qt/display_check.h"
#include "frontends/qt/platform_plugins.h"
#include "frontends/qt/qt_window_system.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/system/privileged_run.h"

int main() {
  using namespace digital_id;
  // Nothing the invoking user set may make a privileged run load code.
  DropUntrustedEnvironment();
  // Qt aborts the process when it finds no display or cannot load the platform it picked. Without
  // a platform that can start there is no window to show, which ends the program with exit code
  // 0 as a failed window creation does; the console program is the way to enroll then.
  PlatformChoice choice = ChoosePlatform(InstalledPlatformPlugins());
  if (!choice.display) {
    std::fputs(
        "digital-id-installer: no display available; to enroll from a terminal, use "
        "digital-id-enroll\n",
        stderr);
    return 0;
  }
  // The program takes no command line; Qt gets only the program name and the chosen platform.
  int argumentCount = 1;
  char programName[] = "digital-id-installer";
  char platformOption[] = "-platform";
  std::array<char*, 4> arguments = {programName, nullptr, nullptr, nullptr};
  if (!choice.platform.empty()) {
    arguments[1] = platformOption;
    arguments[2] = choice.platform.data();
    argumentCount = 3;
  }
  QApplication application(argumentCount, arguments.data());
  // Closing the window posts the quit through the core, like the Close button.
  QApplication::setQuitOnLastWindowClosed(false);

  QtWindowSystem windows;
  LinuxPlatform platform(windows);
  InstallPlatform(&platform.Services());
  const int exitCode = RunInstaller(nullptr, 1);
  // An enrollment may still be running on its detached thread, possibly waiting for this
  // thread. The process ends here as it would on Windows: the worker goes with it at whatever
  // step it is in, and no destructor runs under its feet. Store files are always written to a
  // temporary name and renamed, so nothing is left half written.
  std::fflush(nullptr);
  std::_Exit(exitCode);
}
