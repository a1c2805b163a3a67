#include "core/anchors/anchor_kind.h"

#include "core/anchors/anchor_download.h"
#include "core/anchors/anchor_install.h"
#include "core/shell/texts.h"

namespace digital_id {

namespace {

constexpr TextPair kEmpty{u"", u""};

const AnchorParameters kCaParameters{
    u"CA",
    keys::kCaSha256IssuerUrl,
    keys::kCaSha1IssuerUrl,
    keys::kCaThumbprint,
    "CA certificate",
    texts::kCaDownloading,
    texts::kCaDownloadFailed,
    texts::kCheckingCa,
    texts::kCaFound,
    texts::kCaNotFound,
    texts::kInstallingCa,
    kEmpty,
    texts::kCaInstallationFailed,
    texts::kUnableToInstallCa,
    false,
    DownloadCaCertificate,
    InstallCaCertificate,
};

const AnchorParameters kRootParameters{
    u"Root",
    keys::kRootSha256IssuerUrl,
    keys::kRootSha1IssuerUrl,
    keys::kRootCaThumbprint,
    "root certificate",
    texts::kRootDownloading,
    texts::kRootDownloadFailed,
    texts::kCheckingRoot,
    texts::kRootFound,
    texts::kRootNotFound,
    texts::kInstallingRoot,
    texts::kSayYesToWarning,
    texts::kRootInstallationFailed,
    texts::kUnableToInstallRoot,
    true,
    DownloadRootCertificate,
    InstallRootCertificate,
};

}  // namespace

const AnchorParameters& ParametersOf(AnchorKind kind) {
  return kind == AnchorKind::Ca ? kCaParameters : kRootParameters;
}

}  // namespace digital_id
