// PKCS #10 requests over CryptoAPI. The certification request info is put together here:
// Wine's crypt32 has no encoder for X509_CERT_REQUEST_TO_BE_SIGNED, but encodes its parts, signs
// with CryptSignCertificate and wraps the signed content with X509_CERT.
#include "tests/win/enrollment_stand_in/pkcs10_request.h"

#include <wincrypt.h>

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

// A DER SEQUENCE around content.
std::vector<BYTE> Sequence(const std::vector<BYTE>& content) {
  std::vector<BYTE> sequence = {0x30};
  const std::size_t length = content.size();
  if (length < 0x80) {
    sequence.push_back(static_cast<BYTE>(length));
  } else {
    std::vector<BYTE> digits;
    for (std::size_t rest = length; rest != 0; rest >>= 8) {
      digits.insert(digits.begin(), static_cast<BYTE>(rest & 0xFF));
    }
    sequence.push_back(static_cast<BYTE>(0x80 | digits.size()));
    Append(sequence, digits);
  }
  Append(sequence, content);
  return sequence;
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
  // CertificationRequestInfo: version 0, subject, key, attributes [0] (none).
  std::vector<BYTE> content = {0x02, 0x01, 0x00};
  Append(content, subject);
  Append(content, publicKeyInfo);
  Append(content, {0xA0, 0x00});
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
