#pragma once

#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/publish/publication_result.h"

namespace digital_id {

// What removing an identity came to.
struct IdentityRemoval {
  bool found = false;                      // true when My held a certificate with the serial number
  bool removed = false;                    // true when My held one and holds none of them any more
  std::vector<PublicationResult> results;  // one per target, as written to publish.log
};

// Removes every certificate of My at the location whose serial number is serial (as SerialText
// gives it), with its key, under the store folder's lock; then its identity folder, "current"
// pointing at the newest identity left or going when none is (see RemoveIdentityFiles); and, for
// the user, the certificate with its key from each NSS database of the home that holds it,
// where a database in use is skipped. Anchors (the CA and Root stores, the issuing CA and the
// root in NSS databases, the system trust) stay. Each target gets a result, which also goes to
// the location's publish.log.
IdentityRemoval RemoveIdentityBySerial(StoreLocation location, const std::string& serial);

}  // namespace digital_id
