#pragma once

#include "anchors/anchor_kind.h"
#include "platform/cert_store.h"

namespace digital_id {

// Adds a downloaded anchor to its system store at the current location with the add-always
// disposition, showing the kind's texts. Returns 1 when the add succeeded, else 0.
int InstallAnchorCertificate(AnchorKind kind, const Certificate& certificate);

}  // namespace digital_id
