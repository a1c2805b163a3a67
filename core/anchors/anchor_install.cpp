#include "core/anchors/anchor_install.h"

#include <string>

#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

StepEnd InstallAnchorCertificate(AnchorKind kind, const Certificate& certificate) {
  const AnchorParameters& parameters = ParametersOf(kind);
  const Language language = ReadLanguage();
  try {
    std::unique_ptr<CertStore> store = Services().certificates->OpenSystemStore(
        CurrentStoreLocation(), std::u16string(parameters.storeName));
    if (!store && parameters.reportsUnopenableStore) {
      return RunOutcome{RunResult::AnchorFailed, texts::kCheckingRoot,
                        texts::kRootNeedsAdministrator, language};
    }
    ShowTexts(parameters.installingText, parameters.beforeAddDetail, language);
    if (store && store->Add(certificate)) {
      return std::nullopt;
    }
  } catch (...) {
    // Reported below like a refused add.
  }
  return RunOutcome{RunResult::AnchorFailed, parameters.installFailedText,
                    parameters.installFailedDetail, language};
}

StepEnd InstallCaCertificate(const Certificate& certificate) {
  return InstallAnchorCertificate(AnchorKind::Ca, certificate);
}

StepEnd InstallRootCertificate(const Certificate& certificate) {
  return InstallAnchorCertificate(AnchorKind::Root, certificate);
}

}  // namespace digital_id
