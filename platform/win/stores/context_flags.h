#pragma once

#include <windows.h>

#include <string>

#include "platform/cert_store.h"
#include "platform/enrollment_objects.h"

// The one place where the core's store locations and enrollment contexts become Windows values,
// and where the errors of opening a store become text.
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

// True when an error (GetLastError after a store or key-container call) says that access was
// refused: the object is there, but only its owner or an administrator may open it.
bool AccessDenied(DWORD error);

// True when the error CertOpenStore left (GetLastError) says that the store does not exist, as
// with CERT_STORE_OPEN_EXISTING_FLAG for a store that was never made.
bool StoreIsMissing(DWORD error);

// Why CertOpenStore could not open a store, from the error it left, as short plain text: "access
// denied", "no such store", or the error's number ("error 0x80092004").
std::string StoreOpenErrorText(DWORD error);

}  // namespace digital_id
