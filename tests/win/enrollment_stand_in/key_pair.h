#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <memory>
#include <string>
#include <vector>

namespace digital_id::stand_in {

// Which provider makes a key pair, and how.
struct KeyRequest {
  const wchar_t* provider;  // the cryptographic service provider's name
  DWORD providerType;       // PROV_RSA_AES, PROV_RSA_FULL
  bool machine;             // in the computer's key set (CRYPT_MACHINE_KEYSET), else the user's
  DWORD keySpec;            // AT_KEYEXCHANGE or AT_SIGNATURE
  DWORD generateFlags;      // CryptGenKey flags: length in bits in the upper 16, CRYPT_EXPORTABLE
};

// An RSA key pair, generated in a key container of its own that outlives this object.
class KeyPair {
 public:
  // Generates the pair in a new container named by a fresh GUID; null, with the failure in
  // result, when the provider refuses.
  static std::unique_ptr<KeyPair> Generate(const KeyRequest& request, HRESULT& result);
  // An empty pair for the container; Generate makes the key.
  KeyPair(const KeyRequest& request, std::wstring container);
  ~KeyPair();
  KeyPair(const KeyPair&) = delete;
  KeyPair& operator=(const KeyPair&) = delete;

  // The open provider handle on the container.
  HCRYPTPROV Provider() const { return provider_; }
  // AT_KEYEXCHANGE or AT_SIGNATURE.
  DWORD KeySpec() const { return request_.keySpec; }
  // The name of the provider that holds the key.
  const std::wstring& ProviderName() const { return providerName_; }
  // Whether the container is in the computer's key set.
  bool Machine() const { return request_.machine; }
  // The value of CERT_KEY_PROV_INFO_PROP_ID that joins a certificate to this key; it points
  // into this object.
  CRYPT_KEY_PROV_INFO ProviderInfo();
  // The public key as a CERT_PUBLIC_KEY_INFO with its data behind it; empty on failure.
  std::vector<BYTE> PublicKeyInfo() const;

 private:
  KeyRequest request_;
  std::wstring container_;
  std::wstring providerName_;
  HCRYPTPROV provider_ = 0;
};

// The public key info inside a buffer PublicKeyInfo filled.
inline const CERT_PUBLIC_KEY_INFO* AsPublicKeyInfo(const std::vector<BYTE>& buffer) {
  return reinterpret_cast<const CERT_PUBLIC_KEY_INFO*>(buffer.data());
}

}  // namespace digital_id::stand_in
