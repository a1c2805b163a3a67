#include "core/anchors/anchor_check.h"

#include <string>

#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"

namespace digital_id {

namespace {

// True when the stored copy is current, signed with the mode's algorithm and the very
// certificate that was downloaded.
bool StoredCopyPasses(const Certificate& stored, const Certificate& downloaded) {
  CertServices& certificates = *Services().certificates;
  const std::uint64_t now = Services().system->SystemTimeAsFileTime();
  if (stored.NotAfter() < now || stored.NotBefore() > now) {
    return false;
  }
  const bool sha256 = Sha256Mode();
  if (stored.SignatureAlgorithmOid() != (sha256 ? kSha256RsaOid : kSha1RsaOid)) {
    return false;
  }
  const ThumbprintAlgorithm algorithm =
      sha256 ? ThumbprintAlgorithm::Sha256 : ThumbprintAlgorithm::Sha1;
  const std::size_t length = sha256 ? 32 : 20;
  const Bytes storedPrint = certificates.Thumbprint(algorithm, stored);
  const Bytes downloadedPrint = certificates.Thumbprint(algorithm, downloaded);
  // A thumbprint that cannot be computed never lets a stored copy pass.
  return storedPrint.size() == length && storedPrint == downloadedPrint;
}

}  // namespace

StepEnd CheckAnchorCertificate(AnchorKind kind) {
  const AnchorParameters& parameters = ParametersOf(kind);
  const Language language = ReadLanguage();
  ShowStep(parameters.checkingText, language);

  CertificatePtr downloaded;
  if (StepEnd end = parameters.download(downloaded)) {
    return end;
  }

  bool passes = false;
  try {
    std::u16string criterion;
    if (kind == AnchorKind::Ca) {
      App().anchorIssuerName.Set(Services().certificates->NameToSimpleString(
          downloaded->EncodedIssuer(), kAnchorIssuerNameChars));
      criterion = ReadSetting(keys::kCaIssuer);
    } else {
      criterion = App().anchorIssuerName.Get();
    }
    std::unique_ptr<CertStore> store = Services().certificates->OpenSystemStore(
        CurrentStoreLocation(), std::u16string(parameters.storeName));
    if (store) {
      CertificatePtr found = store->FindFirstBySubject(criterion);
      passes = found && StoredCopyPasses(*found, *downloaded);
    }
  } catch (...) {
    // Treated as no passing copy: the download is installed below.
    passes = false;
  }

  if (passes) {
    ShowTexts(parameters.checkingText, parameters.passingText, language);
    return std::nullopt;
  }
  ShowTexts(parameters.checkingText, parameters.notFoundText, language);
  return parameters.install(*downloaded);
}

StepEnd CheckCaCertificate() {
  return CheckAnchorCertificate(AnchorKind::Ca);
}

StepEnd CheckRootCertificate() {
  return CheckAnchorCertificate(AnchorKind::Root);
}

}  // namespace digital_id
