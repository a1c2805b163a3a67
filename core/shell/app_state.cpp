#include "core/shell/app_state.h"

#include <mutex>
#include <utility>

namespace digital_id {

std::u16string GuardedText::Get() const {
  std::lock_guard guard(lock_);
  return text_;
}

void GuardedText::Set(std::u16string text) {
  std::lock_guard guard(lock_);
  text_ = std::move(text);
}

AppState& App() {
  static AppState state;
  return state;
}

void InstallPlatform(Platform* platform) {
  AppState& app = App();
  app.settingsPath.clear();
  app.anchorIssuerName.Set(u"");
  app.forceSha256 = 0;
  app.isPostXp = 0;
  app.advanceMode = 0;
  app.lineColour = 0;
  app.machineRadio = app.userRadio = app.closeButton = app.pasteButton = nullptr;
  app.submitButton = app.codeEdit = app.detailLine = app.statusLine = nullptr;
  app.platform = platform;
}

Platform& Services() {
  return *App().platform;
}

}  // namespace digital_id
