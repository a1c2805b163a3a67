#include "enrollment/enrollment_run.h"

#include "anchors/anchor_check.h"
#include "enrollment/network_phase.h"
#include "enrollment/secure_code.h"
#include "shell/app_state.h"
#include "shell/settings.h"
#include "shell/status_lines.h"
#include "shell/texts.h"

namespace digital_id {

std::u16string IdentityName() {
  System& system = *Services().system;
  return MachineContext() ? system.ComputerName(kIdentityNameChars)
                          : system.UserName(kIdentityNameChars);
}

namespace {

void RunEnrollment() {
  AppState& app = App();
  SetStatusLine(u"");
  SetDetailLine(u"");
  app.lineColour = kColourDarkRed;
  const Language language = ReadLanguage();

  const std::u16string code = Services().windows->GetText(app.codeEdit, kSecureCodeChars);
  if (code.empty()) {
    ShowTexts(texts::kInvalidData, texts::kCodeEmpty, language);
    EnableInputControls();
    return;
  }
  if (!IsValidSecureCode(code)) {
    ShowTexts(texts::kInvalidData, texts::kInvalidCode, language);
    EnableInputControls();
    return;
  }
  const std::u16string identity = IdentityName();
  if (CheckCaCertificate() == 0 || CheckRootCertificate() == 0) {
    EnableInputControls();
    return;
  }
  RunNetworkPhase(language, code, identity);
}

}  // namespace

std::uint32_t EnrollmentThreadProc(void* /*parameter*/) {
  try {
    RunEnrollment();
  } catch (...) {
    // Every step catches its own failures; should anything still escape, the user must not be
    // left without the controls.
    try {
      EnableInputControls();
    } catch (...) {
    }
  }
  return 0;
}

}  // namespace digital_id
