#pragma once

#include "core/anchors/anchor_kind.h"
#include "core/shell/run_outcome.h"
#include "platform/cert_store.h"

namespace digital_id {

// Adds a downloaded anchor to its system store at the current location with the add-always
// disposition, showing the kind's texts. Goes on when the add succeeded; else the run ends with
// the kind's installation failure texts.
StepEnd InstallAnchorCertificate(AnchorKind kind, const Certificate& certificate);

}  // namespace digital_id
