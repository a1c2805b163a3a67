#pragma once

#include "core/anchors/anchor_kind.h"
#include "core/shell/run_outcome.h"
#include "platform/cert_store.h"

namespace digital_id {

// Adds a downloaded anchor to its system store at the current location with the add-always
// disposition, showing the kind's texts. Goes on when the add succeeded; else the run ends with
// the kind's installation failure texts.
StepEnd InstallAnchorCertificate(AnchorKind kind, const Certificate& certificate);

// Adds the issuing CA certificate to "CA": the CA kind of InstallAnchorCertificate.
StepEnd InstallCaCertificate(const Certificate& certificate);

// Adds the root certificate to "Root", where the platform may ask the user to confirm: the root
// kind of InstallAnchorCertificate.
StepEnd InstallRootCertificate(const Certificate& certificate);

}  // namespace digital_id
