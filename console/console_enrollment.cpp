#include "console/console_enrollment.h"

#include "enrollment/enrollment_run.h"
#include "shell/app_state.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "shell/status_lines.h"
#include "shell/utf8_text.h"

namespace digital_id {

int RunConsoleEnrollment(const ConsoleOptions& options, const std::u16string& secureCode,
                         std::FILE* errors) {
  AppState& app = App();
  const std::optional<std::uint32_t> major = Services().system->OsMajorVersion();
  app.isPostXp = (major && *major >= 6) ? 1 : 0;
  if (options.settings) {
    const std::optional<std::u16string> path = Utf8ToUtf16(*options.settings);
    if (!path) {
      std::fprintf(errors, "digital-id-enroll: the settings file name is not UTF-8\n");
      return 2;
    }
    app.settingsPath = *path;
  } else {
    app.settingsPath = SettingsPathInCurrentDirectory();
  }
  ReadStartupFlags();
  if (options.machine && app.advanceMode.load() == 0) {
    std::fprintf(errors,
                 "digital-id-enroll: --machine needs AdvanceMode=true in the settings file\n");
    return 2;
  }
  if (CreateMainWindow(nullptr, 0) == 0) {
    return 1;
  }
  WindowSystem& windows = *Services().windows;
  if (options.machine) {
    windows.SetCheck(app.userRadio, 0);
    windows.SetCheck(app.machineRadio, 1);
  }
  if (!major) {
    // The window would show the failure and refuse Submit for good.
    app.lineColour = kColourDarkRed;
    return 1;
  }
  windows.SetText(app.codeEdit, secureCode);
  // The same road as the window's Submit, with this thread as the worker.
  DisableInputControls();
  return RunEnrollment().result == RunResult::Issued ? 0 : 1;
}

}  // namespace digital_id
