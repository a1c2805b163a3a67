#pragma once

#include <optional>

#include "core/shell/localised_text.h"

namespace digital_id {

// How an enrollment run ended.
enum class RunResult {
  Issued,                  // the issued certificate was installed
  CodeRejected,            // the secure code was empty or not made of letters, digits and hyphens
  AnchorFailed,            // a trust anchor could not be downloaded or installed
  NetworkUnavailable,      // the TLS engine or the sockets library could not be started
  ConnectionFailed,        // the issuing server could not be reached
  HandshakeFailed,         // the TLS handshake failed or the server's certificate was refused
  ServerNotAuthenticated,  // the server's certificate does not come from the issuing CA
  RequestFailed,           // no key pair or request could be made
  SendFailed,              // the request could not be sent
  RequestRefused,          // the server refused the request ("SRVNACK;")
  ExchangeFailed,          // an answer of the server was missing or not understood
  CertificateRefused,      // the verdict issued no certificate
  InstallationFailed,      // the issued certificate could not be installed
};

// The end of a run: what happened, and the texts the two lines show for it in the language the
// step that ended the run read.
struct RunOutcome {
  RunResult result = RunResult::Issued;
  TextPair status;
  TextPair detail;
  Language language = Language::English;
};

// What a step gives back: nothing when the run goes on, the run's outcome when it ends here.
// Read it through EndsRun and GoesOn, not as a truth value, where "!Step()" would mean success.
using StepEnd = std::optional<RunOutcome>;

// True when the step ended the run; *end is then the run's outcome.
inline bool EndsRun(const StepEnd& end) {
  return end.has_value();
}

// True when the run goes on after the step.
inline bool GoesOn(const StepEnd& end) {
  return !end.has_value();
}

// The outcome for a failure a step met, in the language read anew (an exception may have come
// before the step read it; fallback then stands).
RunOutcome FailedStep(RunResult result, const TextPair& status, const TextPair& detail,
                      Language fallback) noexcept;

// Shows an outcome, the one place a run's end is painted: the colour of the lines (green when
// the certificate was issued), the two texts, and the four input controls enabled again unless
// the network could not be started at all (then only the window's own close button remains).
void ReportOutcome(const RunOutcome& outcome) noexcept;

}  // namespace digital_id
