#include <string>

#include "core/issuance/enrollment_choice.h"
#include "core/issuance/issuance.h"
#include "core/issuance/protocol.h"
#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

namespace {

// Removes from the CA store of the chosen context the first certificate whose subject contains
// the name the root check went by: the copy of the root that the installation of the chain put
// there. Runs only with a name, since an empty one would match the first certificate of all.
void CleanUpCaStore(StoreLocation location) {
  const std::u16string rootName = App().anchorIssuerName.Get();
  if (rootName.empty()) {
    return;
  }
  std::unique_ptr<CertStore> store = Services().certificates->OpenSystemStore(location, u"CA");
  if (!store) {
    return;
  }
  if (CertificatePtr found = store->FindFirstBySubject(rootName)) {
    store->Delete(std::move(found));
  }
}

}  // namespace

RunOutcome InstallIssuedCertificate(std::u16string verdict) {
  const std::u16string response = IssuedResponse(verdict);
  const Language language = ReadLanguage();
  bool installed = false;
  try {
    const EnrollmentPath path = CurrentEnrollmentPath();
    const EnrollmentContext context = CurrentEnrollmentContext();
    installed = Services().enrollment->InstallResponse(path, context, response) == 0;
    if (installed && path == EnrollmentPath::Modern) {
      CleanUpCaStore(context == EnrollmentContext::Machine ? StoreLocation::LocalMachine
                                                           : StoreLocation::CurrentUser);
    }
  } catch (...) {
    // A failure of the clean-up after a successful installation leaves the certificate
    // installed; anything earlier is a failed installation.
  }
  if (installed) {
    return RunOutcome{RunResult::Issued, texts::kCertificateIssued, texts::kInstallationCompleted,
                      language};
  }
  return RunOutcome{RunResult::InstallationFailed, texts::kCertificateInstallationFailed,
                    texts::kTryAgainWithNewCode, language};
}

}  // namespace digital_id
