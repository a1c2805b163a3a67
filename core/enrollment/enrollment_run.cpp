#include "core/enrollment/enrollment_run.h"

#include "base/secret_text.h"
#include "core/anchors/anchor_check.h"
#include "core/enrollment/network_phase.h"
#include "core/enrollment/secure_code.h"
#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

std::u16string IdentityName() {
  System& system = *Services().system;
  return MachineContext() ? system.ComputerName(kIdentityNameChars)
                          : system.UserName(kIdentityNameChars);
}

namespace {

// Everything of a run up to its end, without showing the end.
RunOutcome Enroll() {
  AppState& app = App();
  SetStatusLine(u"");
  SetDetailLine(u"");
  app.lineColour = kColourDarkRed;
  const Language language = ReadLanguage();

  // The run's copy of the secure code is wiped when it is freed, and so is the window's answer.
  const SecretU16Text code =
      TakeSecret(Services().windows->GetText(app.codeEdit, kSecureCodeChars));
  if (code.empty()) {
    return RunOutcome{RunResult::CodeRejected, texts::kInvalidData, texts::kCodeEmpty, language};
  }
  if (!IsValidSecureCode(code)) {
    return RunOutcome{RunResult::CodeRejected, texts::kInvalidData, texts::kInvalidCode, language};
  }
  const std::u16string identity = IdentityName();
  if (StepEnd end = CheckCaCertificate(); EndsRun(end)) {
    return *end;
  }
  if (StepEnd end = CheckRootCertificate(); EndsRun(end)) {
    return *end;
  }
  return RunNetworkPhase(language, code, identity);
}

}  // namespace

RunOutcome RunEnrollment() {
  const RunOutcome outcome = Enroll();
  ReportOutcome(outcome);
  return outcome;
}

std::uint32_t EnrollmentThreadProc(void* /*parameter*/) {
  try {
    RunEnrollment();
  } catch (...) {
    // Every step ends in an outcome; should anything still escape, the user must not be left
    // without the controls.
    try {
      EnableInputControls();
    } catch (...) {
    }
  }
  return 0;
}

}  // namespace digital_id
