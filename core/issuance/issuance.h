#pragma once

#include <string>
#include <string_view>

#include "base/secret_text.h"
#include "core/shell/run_outcome.h"

namespace digital_id {

// Makes a fresh key pair and PKCS #10 request through the enrollment objects of the current
// path and context and wraps it into the "REQ;" message as 8-bit text in message. Ends the run
// with the request failure texts when any of it fails. The message holds the secure code: it is
// secret text.
StepEnd GenerateRequestMessage(std::u16string_view secureCode, const std::u16string& identityName,
                               SecretText& message);

// Goes on, showing that the request is in progress, when the first answer contains "SRVACK;";
// otherwise ends the run with the refusal or connection error texts.
StepEnd EvaluateServerAcknowledgement(std::u16string answer);

// Goes on, showing that the certificate is being installed, when the verdict carries an issued
// certificate; otherwise ends the run with the texts of the verdict.
StepEnd EvaluateIssuanceVerdict(std::u16string verdict);

// Installs the response that follows the first "ISSUED;" of the verdict and, on success, cleans
// the CA store up. The run ends here: issued, or the installation failed.
RunOutcome InstallIssuedCertificate(std::u16string verdict);

}  // namespace digital_id
