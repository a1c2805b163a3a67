#pragma once

#include <windows.h>

#include <vector>

#include "tests/win/enrollment_stand_in/key_pair.h"

namespace digital_id::stand_in {

// The DER PKCS #10 request for the key pair with an empty subject, as the enrollment objects
// make it when nothing else is set, signed with the given signature algorithm (an OID such as
// szOID_RSA_SHA256RSA). It carries the attributes the platform's objects add by themselves: the
// system's version, the client (computer, user, process) and the key's provider, so that its
// size is what the program sends in practice. Empty, with the failure in result, when the
// provider refuses.
std::vector<BYTE> SignedRequest(KeyPair& key, const char* signatureAlgorithm, HRESULT& result);

}  // namespace digital_id::stand_in
