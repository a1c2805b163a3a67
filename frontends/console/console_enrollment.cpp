#include "frontends/console/console_enrollment.h"

#include "base/utf8_text.h"
#include "core/enrollment/enrollment_run.h"
#include "core/shell/app_state.h"
#include "core/shell/main_window.h"
#include "core/shell/startup.h"
#include "core/shell/status_lines.h"
#include "frontends/console/console_output.h"

namespace digital_id {

int RunConsoleEnrollment(const ConsoleOptions& options, const std::u16string& secureCode) {
  AppState& app = App();
  const bool versionKnown = DetectOsGeneration();
  if (options.settings) {
    const std::optional<std::u16string> path = Utf8ToUtf16(*options.settings);
    if (!path) {
      PrintText(ConsoleStream::Errors, "digital-id-enroll: the settings file name is not UTF-8\n");
      return 2;
    }
    app.settingsPath = *path;
  } else {
    app.settingsPath = SettingsPathInCurrentDirectory();
  }
  ReadStartupFlags();
  if (options.machine && app.advanceMode.load() == 0) {
    PrintText(ConsoleStream::Errors,
              "digital-id-enroll: --machine needs AdvanceMode=true in the settings file\n");
    return 2;
  }
  if (CreateMainWindow(nullptr, 0) == 0) {
    return 1;
  }
  WindowSystem& windows = *Services().windows;
  if (options.machine) {
    windows.SetChecked(app.userRadio, false);
    windows.SetChecked(app.machineRadio, true);
  }
  if (!versionKnown) {
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
