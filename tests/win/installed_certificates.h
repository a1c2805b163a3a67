#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <string>
#include <vector>

#include "platform/win/x509/crypt_handles.h"

namespace digital_id::wine_test {

// The certificates that the test issuing CA issued, in the personal store of location alone
// (Wine's view of the current user's My also shows the local machine's).
std::vector<CertContextPtr> IssuedCertificates(DWORD location);

// How many certificates a system store of location holds.
std::size_t CertificateCount(DWORD location, const wchar_t* store);

// What is wrong with the issued certificates of location, one text each: every one must be
// named after the identity the program sends (the computer's name in machine context, else the
// user's), be joined to its private key and have no request still pending; the issuing CA must
// be in CA and the root not left there.
std::vector<std::string> InstalledMismatches(DWORD location);

}  // namespace digital_id::wine_test
