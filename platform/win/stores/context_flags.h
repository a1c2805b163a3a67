#pragma once

#include <windows.h>

#include "platform/cert_store.h"
#include "platform/enrollment_objects.h"

// The one place where the core's store locations and enrollment contexts become Windows values.
namespace digital_id {

// CERT_SYSTEM_STORE_CURRENT_USER (0x10000) or CERT_SYSTEM_STORE_LOCAL_MACHINE (0x20000).
DWORD SystemStoreFlag(StoreLocation location);

// The system-store location flag of an enrollment context's stores (the older control's store
// flags).
DWORD SystemStoreFlag(EnrollmentContext context);

// The key-set flag of an enrollment context's keys for CryptAcquireContext: CRYPT_MACHINE_KEYSET
// for the computer's, 0 for the user's.
DWORD KeySetFlag(EnrollmentContext context);

// The modern enrollment objects' context: ContextUser (1) or ContextMachine (2).
LONG X509EnrollmentContext(EnrollmentContext context);

}  // namespace digital_id
