// Key pairs in CryptoAPI key containers, as the enrollment objects make them.
#include "tests/win/enrollment_stand_in/key_pair.h"

#include <objbase.h>

#include <utility>

namespace digital_id::stand_in {

namespace {

// Destroys a key handle (the key itself stays in its container).
class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle() {
    if (key_ != 0) {
      CryptDestroyKey(key_);
    }
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  HCRYPTKEY* Receive() { return &key_; }

 private:
  HCRYPTKEY key_ = 0;
};

HRESULT LastError() {
  return HRESULT_FROM_WIN32(GetLastError());
}

}  // namespace

KeyPair::KeyPair(const KeyRequest& request, std::wstring container)
    : request_(request), container_(std::move(container)), providerName_(request.provider) {
  request_.provider = providerName_.c_str();
}

KeyPair::~KeyPair() {
  if (provider_ != 0) {
    CryptReleaseContext(provider_, 0);
  }
}

std::unique_ptr<KeyPair> KeyPair::Generate(const KeyRequest& request, HRESULT& result) {
  GUID id{};
  wchar_t name[40] = {};
  result = CoCreateGuid(&id);
  if (FAILED(result) || StringFromGUID2(id, name, 40) == 0) {
    result = FAILED(result) ? result : E_UNEXPECTED;
    return nullptr;
  }
  auto pair = std::make_unique<KeyPair>(request, name);
  const DWORD keySet = CRYPT_NEWKEYSET | (request.machine ? CRYPT_MACHINE_KEYSET : 0);
  if (CryptAcquireContextW(&pair->provider_, pair->container_.c_str(), pair->providerName_.c_str(),
                           request.providerType, keySet) == FALSE) {
    pair->provider_ = 0;
    result = LastError();
    return nullptr;
  }
  KeyHandle key;
  if (CryptGenKey(pair->provider_, request.keySpec, request.generateFlags, key.Receive()) ==
      FALSE) {
    result = LastError();
    return nullptr;
  }
  result = S_OK;
  return pair;
}

CRYPT_KEY_PROV_INFO KeyPair::ProviderInfo() {
  CRYPT_KEY_PROV_INFO info{};
  info.pwszContainerName = container_.data();
  info.pwszProvName = providerName_.data();
  info.dwProvType = request_.providerType;
  info.dwFlags = request_.machine ? CRYPT_MACHINE_KEYSET : 0;
  info.dwKeySpec = request_.keySpec;
  return info;
}

std::vector<BYTE> KeyPair::PublicKeyInfo() const {
  DWORD size = 0;
  if (CryptExportPublicKeyInfo(provider_, request_.keySpec, X509_ASN_ENCODING, nullptr, &size) ==
      FALSE) {
    return {};
  }
  std::vector<BYTE> buffer(size);
  if (CryptExportPublicKeyInfo(provider_, request_.keySpec, X509_ASN_ENCODING,
                               reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(buffer.data()),
                               &size) == FALSE) {
    return {};
  }
  return buffer;
}

}  // namespace digital_id::stand_in
