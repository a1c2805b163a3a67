#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <cstdint>
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
// issuer as one line each ("CN=..., O=..., C=..."), the serial number, the validity and whether
// the private key that fits it can be opened. Only reads: the store is opened read-only and only
// when it exists (a store never made holds nothing), and keys are opened silently, without a
// prompt. The published files and NSS databases stay empty: Windows programs read the system
// stores themselves.
IdentityInventory ReadIdentityInventory(StoreLocation location);

// The record of one certificate context, as ReadIdentityInventory gives it.
IdentityRecord IdentityRecordOf(PCCERT_CONTEXT certificate);

// Seconds since 1970-01-01 00:00 UTC of a FILETIME (100-nanosecond steps since 1601), rounded
// down.
std::int64_t UnixSecondsOf(const FILETIME& time);

}  // namespace digital_id
