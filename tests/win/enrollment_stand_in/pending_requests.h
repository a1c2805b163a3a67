#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/win/enrollment_stand_in/key_pair.h"

namespace digital_id::stand_in {

// The location flag (CERT_SYSTEM_STORE_CURRENT_USER or _LOCAL_MACHINE) of each store an
// installation touches.
struct StoreLocations {
  DWORD request;  // the REQUEST store, where the pending request waits
  DWORD my;
  DWORD ca;
  DWORD root;
};

// Where a self-signed CA certificate of a response goes. The modern objects put every CA
// certificate, the root included, into CA (AllowUntrustedCertificate); the legacy control puts
// a root into Root and the rest of the chain into CA.
enum class RootPlacement { CaStore, RootStore };

// How the object that installs a response treats it.
struct InstallRules {
  RootPlacement placement;
  bool pkcs7Only;           // a bare certificate is refused (the legacy control's blob call)
  bool requireTrustedRoot;  // the chain must end in a root the context trusts
};

// Records the pending request for the key as the platform's objects do: a self-signed
// placeholder certificate joined to the key, in the REQUEST store of location.
HRESULT RecordPendingRequest(KeyPair& key, DWORD location);

// Installs a response (a DER certificate or certs-only PKCS #7). The certificate whose public
// key matches a pending request goes into My, joined to that request's key and carrying the
// description when there is one; every other certificate goes to CA, or a self-signed one to
// Root when the rules say so; the placeholder leaves REQUEST. CRYPT_E_NOT_FOUND when no
// pending request matches; a match pending in the other location is reported as a misuse, and
// so is a key whose key set is not the location of My. CERT_E_UNTRUSTEDROOT when the rules
// require a trusted root and the chain ends in none.
HRESULT InstallResponse(const std::vector<BYTE>& response, const StoreLocations& stores,
                        const InstallRules& rules, const std::wstring& description);

}  // namespace digital_id::stand_in
