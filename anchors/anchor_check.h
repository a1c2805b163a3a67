#pragma once

#include "anchors/anchor_kind.h"

namespace digital_id {

// Signature-algorithm identifiers an anchor must carry in each mode.
inline constexpr const char* kSha256RsaOid = "1.2.840.113549.1.1.11";
inline constexpr const char* kSha1RsaOid = "1.2.840.113549.1.1.5";

// Makes sure an anchor is in its store: downloads the reference copy, tests the first stored
// certificate whose subject contains the criterion (current, expected algorithm, same
// thumbprint) and installs the download when it does not pass. Returns 1 when the anchor is
// usable, 0 when the download or the installation failed.
int CheckAnchorCertificate(AnchorKind kind);

// The CA check; also leaves the downloaded CA certificate's issuer in anchorIssuerName.
int CheckCaCertificate();

// The root check; finds the root certificate by anchorIssuerName.
int CheckRootCertificate();

}  // namespace digital_id
