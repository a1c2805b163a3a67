#pragma once

#include <windows.h>

#include <wincrypt.h>

#include "platform/cert_store.h"

namespace digital_id {

// The digest of bytes with a CryptoAPI hash algorithm (CALG_SHA1, CALG_SHA_256), computed by a
// provider of type PROV_RSA_AES in a verify-only context: that type hashes SHA-256 from
// Windows XP SP3 on, where the default provider (PROV_RSA_FULL) knows only SHA-1 and MD5.
// Empty when the provider or the algorithm is not available.
Bytes CryptDigest(ALG_ID algorithm, const Bytes& data);

}  // namespace digital_id
