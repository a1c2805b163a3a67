#include "anchors/anchor_install.h"

#include <string>

#include "shell/app_state.h"
#include "shell/settings.h"
#include "shell/status_lines.h"
#include "shell/texts.h"

namespace digital_id {

int InstallAnchorCertificate(AnchorKind kind, const Certificate& certificate) {
  const AnchorParameters& parameters = ParametersOf(kind);
  const Language language = ReadLanguage();
  try {
    std::unique_ptr<CertStore> store = Services().certificates->OpenSystemStore(
        CurrentStoreLocation(), std::u16string(parameters.storeName));
    if (!store && parameters.reportsUnopenableStore) {
      ShowTexts(texts::kCheckingRoot, texts::kRootNeedsAdministrator, language);
      return 0;
    }
    ShowTexts(parameters.installingText, parameters.beforeAddDetail, language);
    const bool added = store && store->Add(certificate);
    if (!added) {
      ShowTexts(parameters.installFailedText, parameters.installFailedDetail, language);
    }
    return added ? 1 : 0;
  } catch (...) {
    ShowTexts(parameters.installFailedText, parameters.installFailedDetail, language);
    return 0;
  }
}

}  // namespace digital_id
