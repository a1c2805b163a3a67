#include "platform/win/x509/crypt_digest.h"

#include "platform/win/x509/crypt_handles.h"

namespace digital_id {

Bytes CryptDigest(ALG_ID algorithm, const Bytes& data) {
  ProviderContext provider;
  if (!CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_AES,
                            CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return {};
  }
  HashObject hash;
  if (!CryptCreateHash(provider.Get(), algorithm, 0, 0, hash.Receive()) ||
      !CryptHashData(hash.Get(), data.data(), static_cast<DWORD>(data.size()), 0)) {
    return {};
  }
  DWORD size = 0;
  DWORD sizeBytes = sizeof(size);
  if (!CryptGetHashParam(hash.Get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &sizeBytes, 0) ||
      size == 0) {
    return {};
  }
  Bytes digest(size);
  if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, digest.data(), &size, 0)) {
    return {};
  }
  digest.resize(size);
  return digest;
}

}  // namespace digital_id
