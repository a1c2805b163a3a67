// Requests, pending requests and responses for the enrollment tests under Wine.
#include "tests/win/enrollment_test_support.h"

#include <objbase.h>

#include <fstream>
#include <memory>

#include "platform/win/x509/crypt_handles.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id::wine_test {

namespace {

constexpr wchar_t kReportVariable[] = L"DIGITAL_ID_STAND_IN_REPORT";

// The content of the DER element at data[offset] and the offset behind it; false when the
// element is malformed or runs past the end.
bool ReadElement(const std::vector<BYTE>& data, std::size_t& offset, std::size_t& contentStart,
                 std::size_t& contentLength) {
  if (offset + 2 > data.size()) {
    return false;
  }
  std::size_t position = offset + 1;
  std::size_t length = data[position++];
  if ((length & 0x80) != 0) {
    const std::size_t count = length & 0x7F;
    if (count == 0 || count > 3 || position + count > data.size()) {
      return false;
    }
    length = 0;
    for (std::size_t i = 0; i < count; ++i) {
      length = (length << 8) | data[position++];
    }
  }
  if (length > data.size() - position) {
    return false;
  }
  contentStart = position;
  contentLength = length;
  offset = position + length;
  return true;
}

// Releases a provider handle.
class Provider {
 public:
  Provider() = default;
  ~Provider() {
    if (handle_ != 0) {
      CryptReleaseContext(handle_, 0);
    }
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  HCRYPTPROV* Receive() { return &handle_; }
  HCRYPTPROV Get() const { return handle_; }

 private:
  HCRYPTPROV handle_ = 0;
};

// A distinguished name from its X.500 string form.
std::vector<BYTE> EncodeName(const wchar_t* name) {
  DWORD size = 0;
  if (CertStrToNameW(X509_ASN_ENCODING, name, CERT_X500_NAME_STR, nullptr, nullptr, &size,
                     nullptr) == FALSE) {
    return {};
  }
  std::vector<BYTE> encoded(size);
  if (CertStrToNameW(X509_ASN_ENCODING, name, CERT_X500_NAME_STR, nullptr, encoded.data(), &size,
                     nullptr) == FALSE) {
    return {};
  }
  encoded.resize(size);
  return encoded;
}

// A self-signed certificate named name for a key (AT_KEYEXCHANGE or AT_SIGNATURE) of an open
// provider.
CertContextPtr SelfSigned(HCRYPTPROV provider, DWORD keySpec, const wchar_t* name) {
  std::vector<BYTE> encodedName = EncodeName(name);
  CERT_NAME_BLOB subject{static_cast<DWORD>(encodedName.size()), encodedName.data()};
  CRYPT_KEY_PROV_INFO info{};
  info.dwKeySpec = keySpec;
  return CertContextPtr(CertCreateSelfSignCertificate(provider, &subject, 0, &info, nullptr,
                                                      nullptr, nullptr, nullptr));
}

// A decoded SubjectPublicKeyInfo, freed with LocalFree.
using PublicKeyInfoPtr = std::unique_ptr<CERT_PUBLIC_KEY_INFO, decltype(&LocalFree)>;

PublicKeyInfoPtr DecodePublicKey(const std::vector<BYTE>& publicKey) {
  CERT_PUBLIC_KEY_INFO* info = nullptr;
  DWORD size = 0;
  if (publicKey.empty() ||
      CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, publicKey.data(),
                          static_cast<DWORD>(publicKey.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                          &info, &size) == FALSE) {
    return PublicKeyInfoPtr(nullptr, LocalFree);
  }
  return PublicKeyInfoPtr(info, LocalFree);
}

// A certificate for publicKey named name, issued by the root (whose key, AT_SIGNATURE, the
// provider holds) and valid as long as the root is.
CertContextPtr IssuedBy(HCRYPTPROV rootKey, PCCERT_CONTEXT root, const std::vector<BYTE>& publicKey,
                        const wchar_t* name) {
  const PublicKeyInfoPtr key = DecodePublicKey(publicKey);
  std::vector<BYTE> encodedName = EncodeName(name);
  if (!key || encodedName.empty()) {
    return nullptr;
  }
  BYTE serial[] = {0x2A, 0x17};
  CERT_INFO info{};
  info.dwVersion = CERT_V3;
  info.SerialNumber = {sizeof serial, serial};
  info.SignatureAlgorithm.pszObjId = const_cast<char*>(szOID_RSA_SHA256RSA);
  info.Issuer = root->pCertInfo->Subject;
  info.NotBefore = root->pCertInfo->NotBefore;
  info.NotAfter = root->pCertInfo->NotAfter;
  info.Subject = {static_cast<DWORD>(encodedName.size()), encodedName.data()};
  info.SubjectPublicKeyInfo = *key;
  DWORD size = 0;
  if (CryptSignAndEncodeCertificate(rootKey, AT_SIGNATURE, X509_ASN_ENCODING,
                                    X509_CERT_TO_BE_SIGNED, &info, &info.SignatureAlgorithm,
                                    nullptr, nullptr, &size) == FALSE) {
    return nullptr;
  }
  std::vector<BYTE> der(size);
  if (CryptSignAndEncodeCertificate(rootKey, AT_SIGNATURE, X509_ASN_ENCODING,
                                    X509_CERT_TO_BE_SIGNED, &info, &info.SignatureAlgorithm,
                                    nullptr, der.data(), &size) == FALSE) {
    return nullptr;
  }
  return CertContextPtr(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size));
}

}  // namespace

ComApartment::ComApartment()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
  if (initialised_) {
    CoUninitialize();
  }
}

StandInReport::StandInReport()
    : previous_(Environment(kReportVariable)),
      path_(MakeTemporaryFolder(L"stand-in-report") + L"report.txt") {
  SetEnvironmentVariableW(kReportVariable, path_.c_str());
}

StandInReport::~StandInReport() {
  SetEnvironmentVariableW(kReportVariable, previous_.empty() ? nullptr : previous_.c_str());
}

std::vector<std::string> StandInReport::Lines() const {
  std::ifstream file(path_.c_str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

bool StandInReport::Mentions(const std::string& text) const {
  for (const std::string& line : Lines()) {
    if (line.find(text) != std::string::npos) {
      return true;
    }
  }
  return false;
}

std::vector<BYTE> FromBase64(const std::wstring& text) {
  DWORD size = 0;
  if (text.empty() ||
      CryptStringToBinaryW(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64_ANY,
                           nullptr, &size, nullptr, nullptr) == FALSE) {
    return {};
  }
  std::vector<BYTE> bytes(size);
  if (CryptStringToBinaryW(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64_ANY,
                           bytes.data(), &size, nullptr, nullptr) == FALSE) {
    return {};
  }
  bytes.resize(size);
  return bytes;
}

std::vector<BYTE> RequestPublicKey(const std::vector<BYTE>& request) {
  // CertificationRequest { CertificationRequestInfo { version, subject, key, ... }, ... }
  std::size_t offset = 0;
  std::size_t start = 0;
  std::size_t length = 0;
  if (!ReadElement(request, offset, start, length)) {
    return {};
  }
  offset = start;
  if (!ReadElement(request, offset, start, length)) {
    return {};
  }
  offset = start;
  for (int skipped = 0; skipped < 2; ++skipped) {  // version, subject
    if (!ReadElement(request, offset, start, length)) {
      return {};
    }
  }
  const std::size_t keyStart = offset;
  if (!ReadElement(request, offset, start, length)) {
    return {};
  }
  return std::vector<BYTE>(request.begin() + static_cast<std::ptrdiff_t>(keyStart),
                           request.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool RequestSignatureVerifies(const std::vector<BYTE>& request) {
  const PublicKeyInfoPtr info = DecodePublicKey(RequestPublicKey(request));
  if (!info) {
    return false;
  }
  CRYPT_DATA_BLOB signedRequest{static_cast<DWORD>(request.size()),
                                const_cast<BYTE*>(request.data())};
  return CryptVerifyCertificateSignatureEx(
             0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_BLOB, &signedRequest,
             CRYPT_VERIFY_CERT_SIGN_ISSUER_PUBKEY, info.get(), 0, nullptr) != FALSE;
}

std::vector<BYTE> PendingRequestKey(DWORD location, const std::vector<BYTE>& publicKey) {
  const PublicKeyInfoPtr info = DecodePublicKey(publicKey);
  const CertStorePtr requests(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, L"REQUEST"));
  if (!info || !requests) {
    return {};
  }
  const CertContextPtr pending(CertFindCertificateInStore(
      requests.get(), X509_ASN_ENCODING, 0, CERT_FIND_PUBLIC_KEY, info.get(), nullptr));
  DWORD size = 0;
  if (!pending || CertGetCertificateContextProperty(pending.get(), CERT_KEY_PROV_INFO_PROP_ID,
                                                    nullptr, &size) == FALSE) {
    return {};
  }
  std::vector<BYTE> keyInfo(size);
  if (CertGetCertificateContextProperty(pending.get(), CERT_KEY_PROV_INFO_PROP_ID, keyInfo.data(),
                                        &size) == FALSE) {
    return {};
  }
  return keyInfo;
}

DWORD PublicKeyBits(const std::vector<BYTE>& publicKey) {
  const PublicKeyInfoPtr info = DecodePublicKey(publicKey);
  return info ? CertGetPublicKeyLength(X509_ASN_ENCODING, info.get()) : 0;
}

bool InstalledWithItsKey(DWORD location, const std::vector<BYTE>& publicKey) {
  const PublicKeyInfoPtr info = DecodePublicKey(publicKey);
  const CertStorePtr my(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, L"My"));
  if (!info || !my) {
    return false;
  }
  const CertContextPtr installed(CertFindCertificateInStore(
      my.get(), X509_ASN_ENCODING, 0, CERT_FIND_PUBLIC_KEY, info.get(), nullptr));
  DWORD size = 0;
  if (!installed || CertGetCertificateContextProperty(installed.get(), CERT_KEY_PROV_INFO_PROP_ID,
                                                      nullptr, &size) == FALSE) {
    return false;
  }
  std::vector<BYTE> keyInfo(size);
  if (CertGetCertificateContextProperty(installed.get(), CERT_KEY_PROV_INFO_PROP_ID, keyInfo.data(),
                                        &size) == FALSE) {
    return false;
  }
  const auto* joined = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(keyInfo.data());
  Provider owned;
  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key = 0;
  DWORD keySpec = joined->dwKeySpec;
  if ((joined->dwFlags & CRYPT_MACHINE_KEYSET) != 0) {
    // Wine's CryptAcquireCertificatePrivateKey looks in the user's key set only; the key is
    // acquired from the certificate's key information as Windows does it.
    if (CryptAcquireContextW(owned.Receive(), joined->pwszContainerName, joined->pwszProvName,
                             joined->dwProvType, CRYPT_MACHINE_KEYSET) == FALSE) {
      return false;
    }
    key = owned.Get();
  } else {
    BOOL release = FALSE;
    if (CryptAcquireCertificatePrivateKey(installed.get(), 0, nullptr, &key, &keySpec, &release) ==
        FALSE) {
      return false;
    }
    if (release != FALSE) {
      *owned.Receive() = key;
    }
  }
  if (CryptExportPublicKeyInfo(key, keySpec, X509_ASN_ENCODING, nullptr, &size) == FALSE) {
    return false;
  }
  std::vector<BYTE> exported(size);
  auto* exportedInfo = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(exported.data());
  return CryptExportPublicKeyInfo(key, keySpec, X509_ASN_ENCODING, exportedInfo, &size) != FALSE &&
         CertComparePublicKeyInfo(X509_ASN_ENCODING, exportedInfo, info.get()) != FALSE;
}

std::wstring ResponseFor(DWORD location, const std::vector<BYTE>& publicKey, const wchar_t* subject,
                         std::vector<BYTE>& root) {
  const std::vector<BYTE> keyInfo = PendingRequestKey(location, publicKey);
  if (keyInfo.empty()) {
    return {};
  }
  Provider rootKey;
  if (CryptAcquireContextW(rootKey.Receive(), nullptr, MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES,
                           CRYPT_VERIFYCONTEXT) == FALSE) {
    return {};
  }
  HCRYPTKEY generated = 0;
  if (CryptGenKey(rootKey.Get(), AT_SIGNATURE, 0, &generated) == FALSE) {
    return {};
  }
  CryptDestroyKey(generated);
  const CertContextPtr rootCertificate =
      SelfSigned(rootKey.Get(), AT_SIGNATURE, L"CN=Enrollment Test Root");
  const CertContextPtr issued =
      rootCertificate ? IssuedBy(rootKey.Get(), rootCertificate.get(), publicKey, subject)
                      : nullptr;
  const CertStorePtr chain(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!issued || !rootCertificate || !chain ||
      CertAddCertificateContextToStore(chain.get(), issued.get(), CERT_STORE_ADD_ALWAYS, nullptr) ==
          FALSE ||
      CertAddCertificateContextToStore(chain.get(), rootCertificate.get(), CERT_STORE_ADD_ALWAYS,
                                       nullptr) == FALSE) {
    return {};
  }
  CRYPT_DATA_BLOB saved{};
  if (CertSaveStore(chain.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, CERT_STORE_SAVE_AS_PKCS7,
                    CERT_STORE_SAVE_TO_MEMORY, &saved, 0) == FALSE) {
    return {};
  }
  std::vector<BYTE> pkcs7(saved.cbData);
  saved.pbData = pkcs7.data();
  DWORD characters = 0;
  if (CertSaveStore(chain.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, CERT_STORE_SAVE_AS_PKCS7,
                    CERT_STORE_SAVE_TO_MEMORY, &saved, 0) == FALSE ||
      CryptBinaryToStringW(pkcs7.data(), saved.cbData, CRYPT_STRING_BASE64, nullptr, &characters) ==
          FALSE) {
    return {};
  }
  std::wstring text(characters, L'\0');
  if (CryptBinaryToStringW(pkcs7.data(), saved.cbData, CRYPT_STRING_BASE64, text.data(),
                           &characters) == FALSE) {
    return {};
  }
  text.resize(characters);
  root.assign(rootCertificate->pbCertEncoded,
              rootCertificate->pbCertEncoded + rootCertificate->cbCertEncoded);
  return text;
}

bool StoreHolds(DWORD location, const wchar_t* store, const std::vector<BYTE>& der) {
  const CertStorePtr opened(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, store));
  const CertContextPtr wanted(
      CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
  if (!opened || !wanted) {
    return false;
  }
  const CertContextPtr found(CertFindCertificateInStore(opened.get(), X509_ASN_ENCODING, 0,
                                                        CERT_FIND_EXISTING, wanted.get(), nullptr));
  return found != nullptr;
}

bool AddToStore(DWORD location, const wchar_t* store, const std::vector<BYTE>& der) {
  const CertStorePtr opened(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, store));
  return opened && CertAddEncodedCertificateToStore(opened.get(), X509_ASN_ENCODING, der.data(),
                                                    static_cast<DWORD>(der.size()),
                                                    CERT_STORE_ADD_USE_EXISTING, nullptr) != FALSE;
}

}  // namespace digital_id::wine_test
