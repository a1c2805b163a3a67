#pragma once

#include <string>

namespace digital_id {

// Makes a fresh key pair and PKCS #10 request through the enrollment objects of the current
// path and context and wraps it into the "REQ;" message as 8-bit text. Empty on failure, with
// the request failure texts shown.
std::string GenerateRequestMessage(const std::u16string& secureCode,
                                   const std::u16string& identityName);

// 1 when the first answer contains "SRVACK;"; shows the texts of the answer in every case.
int EvaluateServerAcknowledgement(std::u16string answer);

// 1 when the verdict carries an issued certificate; shows the texts of the verdict in every case.
int EvaluateIssuanceVerdict(std::u16string verdict);

// Installs the response that follows the first "ISSUED;" of the verdict and shows the outcome;
// on success turns the lines green and cleans the CA store up.
void InstallIssuedCertificate(std::u16string verdict);

}  // namespace digital_id
