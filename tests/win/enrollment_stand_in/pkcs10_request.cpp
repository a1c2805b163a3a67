// PKCS #10 requests over CryptoAPI. The certification request info is put together here:
// Wine's crypt32 has no encoder for X509_CERT_REQUEST_TO_BE_SIGNED, but encodes its parts, signs
// with CryptSignCertificate and wraps the signed content with X509_CERT.
#include "tests/win/enrollment_stand_in/pkcs10_request.h"

#include <wincrypt.h>

#include <string>

namespace digital_id::stand_in {

namespace {

// The DER encoding of a structure CryptEncodeObjectEx knows; empty on failure.
std::vector<BYTE> Encode(LPCSTR type, const void* value) {
  DWORD size = 0;
  if (CryptEncodeObjectEx(X509_ASN_ENCODING, type, value, 0, nullptr, nullptr, &size) == FALSE) {
    return {};
  }
  std::vector<BYTE> encoded(size);
  if (CryptEncodeObjectEx(X509_ASN_ENCODING, type, value, 0, nullptr, encoded.data(), &size) ==
      FALSE) {
    return {};
  }
  encoded.resize(size);
  return encoded;
}

void Append(std::vector<BYTE>& to, const std::vector<BYTE>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

// A DER element of the given tag around content.
std::vector<BYTE> Element(BYTE tag, const std::vector<BYTE>& content) {
  std::vector<BYTE> element = {tag};
  const std::size_t length = content.size();
  if (length < 0x80) {
    element.push_back(static_cast<BYTE>(length));
  } else {
    std::vector<BYTE> digits;
    for (std::size_t rest = length; rest != 0; rest >>= 8) {
      digits.insert(digits.begin(), static_cast<BYTE>(rest & 0xFF));
    }
    element.push_back(static_cast<BYTE>(0x80 | digits.size()));
    Append(element, digits);
  }
  Append(element, content);
  return element;
}

std::vector<BYTE> Sequence(const std::vector<BYTE>& content) {
  return Element(0x30, content);
}

std::vector<BYTE> Utf8String(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::vector<BYTE> utf8(static_cast<std::size_t>(size > 0 ? size : 0));
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<char*>(utf8.data()), size, nullptr, nullptr);
  }
  return Element(0x0C, utf8);
}

// A BMPString: UTF-16 code units, big-endian.
std::vector<BYTE> BmpString(const std::wstring& text) {
  std::vector<BYTE> units;
  for (const wchar_t unit : text) {
    units.push_back(static_cast<BYTE>((unit >> 8) & 0xFF));
    units.push_back(static_cast<BYTE>(unit & 0xFF));
  }
  return Element(0x1E, units);
}

std::vector<BYTE> SmallInteger(BYTE value) {
  return Element(0x02, {value});
}

// An attribute: its OID (the encoded arcs after 1.3.6.1.4.1.311) and its one value.
std::vector<BYTE> Attribute(const std::vector<BYTE>& microsoftArcs,
                            const std::vector<BYTE>& value) {
  std::vector<BYTE> oid = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37};
  Append(oid, microsoftArcs);
  std::vector<BYTE> content = Element(0x06, oid);
  Append(content, Element(0x31, value));
  return Sequence(content);
}

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) != FALSE ? std::wstring(name, size) : std::wstring();
}

std::wstring UserName() {
  wchar_t name[257] = {};
  DWORD size = 257;
  return GetUserNameW(name, &size) != FALSE && size > 0 ? std::wstring(name, size - 1)
                                                        : std::wstring();
}

std::wstring ProcessName() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring full(path, length);
  const std::size_t slash = full.find_last_of(L"\\/");
  return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

// The attributes [0] of the request, each under its enrollment OID (the encoded arcs below): the
// system's version, the client (a client id, computer, user and process) and the key's provider
// (key spec, provider name, an empty signature).
std::vector<BYTE> RequestAttributes(const KeyPair& key) {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExW(&version);
  const std::wstring versionText =
      std::to_wstring(version.dwMajorVersion) + L"." + std::to_wstring(version.dwMinorVersion) +
      L"." + std::to_wstring(version.dwBuildNumber) + L"." + std::to_wstring(version.dwPlatformId);
  std::vector<BYTE> versionAscii(versionText.begin(), versionText.end());

  std::vector<BYTE> client = SmallInteger(1);
  Append(client, Utf8String(ComputerName()));
  Append(client, Utf8String(ComputerName() + L"\\" + UserName()));
  Append(client, Utf8String(ProcessName()));

  std::vector<BYTE> provider = SmallInteger(static_cast<BYTE>(key.KeySpec()));
  Append(provider, BmpString(key.ProviderName()));
  Append(provider, {0x03, 0x01, 0x00});

  std::vector<BYTE> attributes = Attribute({0x0D, 0x02, 0x03}, Element(0x16, versionAscii));
  Append(attributes, Attribute({0x15, 0x14}, Sequence(client)));
  Append(attributes, Attribute({0x0D, 0x02, 0x02}, Sequence(provider)));
  return Element(0xA0, attributes);
}

HRESULT LastError() {
  const DWORD error = GetLastError();
  return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

}  // namespace

std::vector<BYTE> SignedRequest(KeyPair& key, const char* signatureAlgorithm, HRESULT& result) {
  const std::vector<BYTE> publicKey = key.PublicKeyInfo();
  CERT_NAME_INFO emptyName{};
  const std::vector<BYTE> subject = Encode(X509_NAME, &emptyName);
  const std::vector<BYTE> publicKeyInfo =
      publicKey.empty() ? std::vector<BYTE>() : Encode(X509_PUBLIC_KEY_INFO, publicKey.data());
  if (subject.empty() || publicKeyInfo.empty()) {
    result = LastError();
    return {};
  }
  // CertificationRequestInfo: version 0, subject, key, attributes [0].
  std::vector<BYTE> content = {0x02, 0x01, 0x00};
  Append(content, subject);
  Append(content, publicKeyInfo);
  Append(content, RequestAttributes(key));
  std::vector<BYTE> toBeSigned = Sequence(content);

  CRYPT_ALGORITHM_IDENTIFIER algorithm{};
  algorithm.pszObjId = const_cast<char*>(signatureAlgorithm);
  DWORD signatureSize = 0;
  if (CryptSignCertificate(key.Provider(), key.KeySpec(), X509_ASN_ENCODING, toBeSigned.data(),
                           static_cast<DWORD>(toBeSigned.size()), &algorithm, nullptr, nullptr,
                           &signatureSize) == FALSE) {
    result = LastError();
    return {};
  }
  std::vector<BYTE> signature(signatureSize);
  if (CryptSignCertificate(key.Provider(), key.KeySpec(), X509_ASN_ENCODING, toBeSigned.data(),
                           static_cast<DWORD>(toBeSigned.size()), &algorithm, nullptr,
                           signature.data(), &signatureSize) == FALSE) {
    result = LastError();
    return {};
  }
  CERT_SIGNED_CONTENT_INFO signedContent{};
  signedContent.ToBeSigned = {static_cast<DWORD>(toBeSigned.size()), toBeSigned.data()};
  signedContent.SignatureAlgorithm = algorithm;
  signedContent.Signature = {signatureSize, signature.data(), 0};
  std::vector<BYTE> request = Encode(X509_CERT, &signedContent);
  result = request.empty() ? LastError() : S_OK;
  return request;
}

}  // namespace digital_id::stand_in
