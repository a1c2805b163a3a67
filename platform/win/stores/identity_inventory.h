#pragma once

#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/identity_record.h"

namespace digital_id {

// What reading the identities of one My system store came to.
struct IdentityInventory {
  std::vector<IdentityRecord> identities;  // oldest first (by the start of their validity)
  std::string error;  // why the store could not be opened (one line); empty when it was read
};

// Every certificate of the My system store of a location as an identity record: subject and
// issuer as one line each, as the Linux backend writes them (NameText), the serial number, the
// validity and whether the private key that fits it can be opened (or is there but refuses this
// user). Only reads: the store is opened read-only and only when it exists (a store never made
// holds nothing), and keys are opened silently, without a prompt. The published files and NSS
// databases stay empty: Windows programs read the system stores themselves.
IdentityInventory ReadIdentityInventory(StoreLocation location);

}  // namespace digital_id
