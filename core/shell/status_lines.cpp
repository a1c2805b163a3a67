#include "core/shell/status_lines.h"

#include <string>

#include "core/shell/app_state.h"

namespace digital_id {

void SetStatusLine(std::u16string_view text) {
  Services().windows->SetText(App().statusLine, std::u16string(text));
}

void SetDetailLine(std::u16string_view text) {
  Services().windows->SetText(App().detailLine, std::u16string(text));
}

void ShowTexts(const TextPair& status, const TextPair& detail, Language language) {
  SetStatusLine(Pick(status, language));
  SetDetailLine(Pick(detail, language));
}

void ShowStep(const TextPair& status, Language language) {
  SetStatusLine(Pick(status, language));
  SetDetailLine(u"");
}

void ShowFailureTexts(const TextPair& status, const TextPair& detail, Language fallback) noexcept {
  Language language = fallback;
  try {
    language = ReadLanguage();
  } catch (...) {
    // The language read before stands.
  }
  try {
    ShowTexts(status, detail, language);
  } catch (...) {
    // Nothing more can be shown.
  }
}

namespace {

void SetInputControlsEnabled(bool enable) {
  const AppState& app = App();
  WindowSystem& windows = *Services().windows;
  for (WindowHandle control : {app.codeEdit, app.submitButton, app.pasteButton, app.closeButton}) {
    windows.Enable(control, enable);
  }
}

}  // namespace

void EnableInputControls() {
  SetInputControlsEnabled(true);
}

void DisableInputControls() {
  SetInputControlsEnabled(false);
}

}  // namespace digital_id
