#include "core/shell/startup.h"

#include <cstdint>
#include <optional>
#include <string>

#include "core/shell/app_state.h"
#include "core/shell/main_window.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

namespace {

constexpr std::size_t kCurrentDirectoryChars = 260;
// The operating system's major version from which on it is of the post-XP generation.
constexpr std::uint32_t kFirstPostXpMajorVersion = 6;

}  // namespace

std::u16string SettingsPathInCurrentDirectory() {
  System& system = *Services().system;
  std::u16string directory = system.CurrentDirectory(kCurrentDirectoryChars);
  if (directory.empty()) {
    return {};
  }
  if (directory.back() != system.PathSeparator()) {
    directory.push_back(system.PathSeparator());
  }
  return directory + std::u16string(kSettingsFileName);
}

void ReadStartupFlags() {
  AppState& app = App();
  app.advanceMode = FlagFromText(ReadSetting(keys::kAdvanceMode)) ? 1 : 0;
  app.forceSha256 = FlagFromText(ReadSetting(keys::kForceSha256)) ? 1 : 0;
}

bool DetectOsGeneration() {
  const std::optional<std::uint32_t> major = Services().system->OsMajorVersion();
  // A failed query leaves the older generation.
  App().isPostXp = (major && *major >= kFirstPostXpMajorVersion) ? 1 : 0;
  return major.has_value();
}

int RunInstaller(void* instance, int showCommand) {
  AppState& app = App();
  const bool versionKnown = DetectOsGeneration();
  RegisterMainWindowClass(instance);
  app.settingsPath = SettingsPathInCurrentDirectory();
  ReadStartupFlags();
  if (CreateMainWindow(instance, showCommand) == 0) {
    return 0;
  }
  if (!versionKnown) {
    app.lineColour = kColourDarkRed;
    const Language language = ReadLanguage();
    ShowTexts(texts::kOsDetectionError, texts::kUnableToDetectOs, language);
    WindowSystem& windows = *Services().windows;
    windows.Enable(app.codeEdit, false);
    windows.Enable(app.submitButton, false);
  }
  return Services().windows->RunMessageLoop();
}

}  // namespace digital_id
