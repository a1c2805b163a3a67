#include "platform/win/stores/context_flags.h"

#include <wincrypt.h>

namespace digital_id {

namespace {

// X509CertificateEnrollmentContext values.
constexpr LONG kContextUser = 1;
constexpr LONG kContextMachine = 2;

}  // namespace

DWORD SystemStoreFlag(StoreLocation location) {
  return location == StoreLocation::LocalMachine ? CERT_SYSTEM_STORE_LOCAL_MACHINE
                                                 : CERT_SYSTEM_STORE_CURRENT_USER;
}

DWORD SystemStoreFlag(EnrollmentContext context) {
  return SystemStoreFlag(context == EnrollmentContext::Machine ? StoreLocation::LocalMachine
                                                               : StoreLocation::CurrentUser);
}

DWORD KeySetFlag(EnrollmentContext context) {
  return context == EnrollmentContext::Machine ? CRYPT_MACHINE_KEYSET : 0;
}

LONG X509EnrollmentContext(EnrollmentContext context) {
  return context == EnrollmentContext::Machine ? kContextMachine : kContextUser;
}

}  // namespace digital_id
