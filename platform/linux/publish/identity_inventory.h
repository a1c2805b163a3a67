#pragma once

#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/identity_record.h"
#include "platform/linux/x509/openssl_handles.h"

namespace digital_id {

// One certificate of My as the inventory finds it.
struct InventoryEntry {
  std::string stem;       // the entry's name in My
  X509Ptr certificate;    // the certificate
  IdentityRecord record;  // what is shown of it
};

// What reading the identities of a location came to.
struct IdentityInventory {
  std::vector<InventoryEntry> entries;  // oldest first
  std::string error;                    // why My could not be read (one line); empty when it was
};

// Every certificate of My at the location, read only (no folder is created, nothing is tidied,
// a lock held by a writer is not waited for): its names, serial and validity; whether its key is
// beside it (a key file that this user cannot read counts as there, one that does not fit the
// certificate does not); the identity files published for it (its folder's identity.crt and
// identity.key, and the stable names of the identity folder while "current" names it); and, for
// the user, each NSS database of the home (nss_locations.h) that holds the certificate, read
// read-only, so that a profile in use is read too and one that cannot be opened is not listed.
// A privileged run reads only the places that publication would write (StoresRoot, NssHome).
IdentityInventory ReadIdentityInventory(StoreLocation location);

// The serial number of a certificate as SerialText gives it.
std::string CertificateSerialText(X509* certificate);

}  // namespace digital_id
