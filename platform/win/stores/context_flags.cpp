#include "platform/win/stores/context_flags.h"

#include <wincrypt.h>

namespace digital_id {

namespace {

// X509CertificateEnrollmentContext values.
constexpr LONG kContextUser = 1;
constexpr LONG kContextMachine = 2;

// The Windows error code an error stands for: store providers leave either the code itself or
// the HRESULT that carries it (0x8007xxxx).
DWORD Win32Code(DWORD error) {
  const auto result = static_cast<HRESULT>(error);
  return HRESULT_FACILITY(result) == FACILITY_WIN32 && FAILED(result)
             ? static_cast<DWORD>(HRESULT_CODE(result))
             : error;
}

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

bool AccessDenied(DWORD error) {
  return Win32Code(error) == ERROR_ACCESS_DENIED || static_cast<HRESULT>(error) == NTE_PERM;
}

bool StoreIsMissing(DWORD error) {
  const DWORD code = Win32Code(error);
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

std::string StoreOpenErrorText(DWORD error) {
  if (AccessDenied(error)) {
    return "access denied";
  }
  if (StoreIsMissing(error)) {
    return "no such store";
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "error 0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    text.push_back(kDigits[(error >> shift) & 0x0F]);
  }
  return text;
}

}  // namespace digital_id
