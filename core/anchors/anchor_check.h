#pragma once

#include "core/anchors/anchor_kind.h"
#include "core/shell/run_outcome.h"

namespace digital_id {

// Signature-algorithm identifiers an anchor must carry in each mode.
inline constexpr const char* kSha256RsaOid = "1.2.840.113549.1.1.11";
inline constexpr const char* kSha1RsaOid = "1.2.840.113549.1.1.5";

// Makes sure an anchor is in its store: downloads the reference copy, tests the first stored
// certificate whose subject contains the criterion (current, expected algorithm, same
// thumbprint) and installs the download when it does not pass. Goes on when the anchor is
// usable; the run ends when the download or the installation failed.
StepEnd CheckAnchorCertificate(AnchorKind kind);

// The CA check; also leaves the downloaded CA certificate's issuer in anchorIssuerName.
StepEnd CheckCaCertificate();

// The root check; finds the root certificate by anchorIssuerName.
StepEnd CheckRootCertificate();

}  // namespace digital_id
