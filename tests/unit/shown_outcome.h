#pragma once

#include <string>

#include "core/issuance/issuance.h"
#include "core/shell/run_outcome.h"

namespace digital_id {

// Shows a step's end the way a run does (texts, colour, controls) and gives 1 when the step let
// the run go on, 0 when it ended the run there, so a test can read the lines afterwards.
inline int Shown(const StepEnd& end) {
  if (EndsRun(end)) {
    ReportOutcome(*end);
  }
  return GoesOn(end) ? 1 : 0;
}

// The request message a request step made, with its end shown the way a run shows it; empty
// when the step ended the run.
inline std::string Request(const std::u16string& code, const std::u16string& name) {
  SecretText message;
  Shown(GenerateRequestMessage(code, name, message));
  return std::string(message);
}

// Shows a run's outcome the way a run does; 1 when the certificate was issued.
inline int Shown(const RunOutcome& outcome) {
  ReportOutcome(outcome);
  return outcome.result == RunResult::Issued ? 1 : 0;
}

}  // namespace digital_id
