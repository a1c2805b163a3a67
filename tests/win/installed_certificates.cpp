// What digital-id-enroll.exe with the enrollment stand-in left in the stores of the prefix.
#include "tests/win/installed_certificates.h"

#include "tests/win/enrollment_test_support.h"

namespace digital_id::wine_test {

namespace {

constexpr wchar_t kIssuingCa[] = L"Example Issuing CA";

// The identity the program sends: the computer's name in machine context, else the user's.
std::wstring Identity(DWORD location) {
  wchar_t name[256] = {};
  DWORD size = 256;
  const BOOL got = location == CERT_SYSTEM_STORE_LOCAL_MACHINE ? GetComputerNameW(name, &size)
                                                               : GetUserNameW(name, &size);
  return got != FALSE ? std::wstring(name) : std::wstring();
}

// Whether the certificate was issued by the test issuing CA. (Wine's CERT_FIND_ISSUER_STR_W
// compares with the subject, so the issuer is read here.)
bool IssuedByTestCa(PCCERT_CONTEXT certificate) {
  wchar_t issuer[256] = {};
  CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, CERT_NAME_ISSUER_FLAG, nullptr,
                     issuer, 256);
  return std::wstring(issuer) == kIssuingCa;
}

// The certificates of a store that the test issuing CA issued.
std::vector<CertContextPtr> IssuedIn(HCERTSTORE my) {
  std::vector<CertContextPtr> issued;
  for (PCCERT_CONTEXT certificate = nullptr;
       (certificate = CertEnumCertificatesInStore(my, certificate)) != nullptr;) {
    if (IssuedByTestCa(certificate)) {
      issued.emplace_back(CertDuplicateCertificateContext(certificate));
    }
  }
  return issued;
}

// The personal store of location alone. Wine's view of the current user's My also shows the
// local machine's certificates, which the user's checks must not count.
CertStorePtr OwnPersonalStore(DWORD location) {
  return CertStorePtr(CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                    location | CERT_STORE_READONLY_FLAG, L"My"));
}

std::vector<BYTE> EncodedPublicKey(PCCERT_CONTEXT certificate) {
  const CERT_PUBLIC_KEY_INFO& info = certificate->pCertInfo->SubjectPublicKeyInfo;
  DWORD size = 0;
  CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &info, 0, nullptr, nullptr, &size);
  std::vector<BYTE> encoded(size);
  if (CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &info, 0, nullptr,
                          encoded.data(), &size) == FALSE) {
    return {};
  }
  encoded.resize(size);
  return encoded;
}

}  // namespace

std::vector<CertContextPtr> IssuedCertificates(DWORD location) {
  const CertStorePtr my = OwnPersonalStore(location);
  return my ? IssuedIn(my.get()) : std::vector<CertContextPtr>{};
}

std::size_t CertificateCount(DWORD location, const wchar_t* store) {
  const CertStorePtr opened(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, store));
  std::size_t count = 0;
  for (PCCERT_CONTEXT certificate = nullptr;
       opened &&
       (certificate = CertEnumCertificatesInStore(opened.get(), certificate)) != nullptr;) {
    ++count;
  }
  return count;
}

std::vector<std::string> InstalledMismatches(DWORD location) {
  std::vector<std::string> failures;
  const std::wstring identity = Identity(location);
  if (identity.empty()) failures.emplace_back("no identity name");
  const std::vector<CertContextPtr> issued = IssuedCertificates(location);
  for (std::size_t i = 0; i < issued.size(); ++i) {
    const std::string which = "certificate " + std::to_string(i) + ": ";
    wchar_t name[256] = {};
    CertGetNameStringW(issued[i].get(), CERT_NAME_ATTR_TYPE, 0,
                       const_cast<char*>(szOID_COMMON_NAME), name, 256);
    if (std::wstring(name) != identity) failures.push_back(which + "not named after the identity");
    const std::vector<BYTE> publicKey = EncodedPublicKey(issued[i].get());
    if (!InstalledWithItsKey(location, publicKey))
      failures.push_back(which + "not joined to its key");
    if (!PendingRequestKey(location, publicKey).empty()) {
      failures.push_back(which + "its request is still pending");
    }
  }
  const CertStorePtr ca(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, L"CA"));
  if (!ca) {
    failures.emplace_back("CA cannot be opened");
    return failures;
  }
  const CertContextPtr issuingCa(CertFindCertificateInStore(
      ca.get(), X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W, kIssuingCa, nullptr));
  if (!issuingCa) failures.emplace_back("the issuing CA is missing from CA");
  const CertContextPtr root(CertFindCertificateInStore(
      ca.get(), X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W, L"Example Root CA", nullptr));
  if (root) failures.emplace_back("the root was left in CA");
  return failures;
}

}  // namespace digital_id::wine_test
