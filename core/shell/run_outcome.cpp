#include "core/shell/run_outcome.h"

#include "core/shell/app_state.h"
#include "core/shell/status_lines.h"

namespace digital_id {

RunOutcome FailedStep(RunResult result, const TextPair& status, const TextPair& detail,
                      Language fallback) noexcept {
  Language language = fallback;
  try {
    language = ReadLanguage();
  } catch (...) {
    // The language read before stands.
  }
  return RunOutcome{result, status, detail, language};
}

void ReportOutcome(const RunOutcome& outcome) noexcept {
  try {
    if (outcome.result == RunResult::Issued) {
      App().lineColour = kColourGreen;
    }
    ShowTexts(outcome.status, outcome.detail, outcome.language);
  } catch (...) {
    // Nothing more can be shown; the controls still come back below.
  }
  if (outcome.result == RunResult::NetworkUnavailable) {
    return;
  }
  try {
    EnableInputControls();
  } catch (...) {
    // Nothing more can be done.
  }
}

}  // namespace digital_id
