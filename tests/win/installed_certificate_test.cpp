// What a run of digital-id-enroll.exe with the enrollment stand-in left in the prefix, checked
// by scripts/test-wine after each successful console enrollment: the issued certificates are in
// My of the context, named after the identity and joined to their private keys, no request of
// theirs is still pending, and the root is not left in CA; and one of them authenticates the
// client to a TLS server that demands a client certificate. After a run whose root failed its
// pin, that root is in no store.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/win/x509/crypt_handles.h"
#include "tests/win/client_certificate_tls.h"
#include "tests/win/enrollment_test_support.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id {
namespace {

using wine_test::Environment;

constexpr wchar_t kIssuingCa[] = L"Example Issuing CA";

// The context scripts/test-wine names ("user" or "machine") as a store location.
DWORD InstalledLocation() {
  return Environment(L"DIGITAL_ID_WINE_INSTALLED_CONTEXT") == L"machine"
             ? CERT_SYSTEM_STORE_LOCAL_MACHINE
             : CERT_SYSTEM_STORE_CURRENT_USER;
}

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
std::vector<CertContextPtr> IssuedCertificates(HCERTSTORE my) {
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

TEST(InstalledCertificate, IsInMyOfItsContextWithItsKeyAndTheRootIsNotLeftInCa) {
  const std::wstring context = Environment(L"DIGITAL_ID_WINE_INSTALLED_CONTEXT");
  const std::wstring expected = Environment(L"DIGITAL_ID_WINE_INSTALLED_COUNT");
  ASSERT_FALSE(context.empty() || expected.empty()) << "run by scripts/test-wine after enrolling";
  const DWORD location = InstalledLocation();
  const std::wstring identity = Identity(location);
  ASSERT_FALSE(identity.empty());

  const CertStorePtr my = OwnPersonalStore(location);
  ASSERT_TRUE(my);
  const std::vector<CertContextPtr> issued = IssuedCertificates(my.get());
  for (std::size_t i = 0; i < issued.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "certificate " << i);
    wchar_t name[256] = {};
    CertGetNameStringW(issued[i].get(), CERT_NAME_ATTR_TYPE, 0,
                       const_cast<char*>(szOID_COMMON_NAME), name, 256);
    EXPECT_EQ(std::wstring(name), identity);
    const std::vector<BYTE> publicKey = EncodedPublicKey(issued[i].get());
    EXPECT_TRUE(wine_test::InstalledWithItsKey(location, publicKey)) << "not joined to its key";
    EXPECT_TRUE(wine_test::PendingRequestKey(location, publicKey).empty())
        << "its request is still pending";
  }
  EXPECT_EQ(std::to_wstring(issued.size()), expected);

  const CertStorePtr ca(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, L"CA"));
  ASSERT_TRUE(ca);
  const CertContextPtr issuingCa(CertFindCertificateInStore(
      ca.get(), X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W, kIssuingCa, nullptr));
  EXPECT_TRUE(issuingCa) << "the issuing CA is missing from CA";
  const CertContextPtr root(CertFindCertificateInStore(
      ca.get(), X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W, L"Example Root CA", nullptr));
  EXPECT_FALSE(root) << "the root was left in CA";
}

TEST(InstalledCertificate, AuthenticatesTheClientToATlsServerThatDemandsACertificate) {
  const std::wstring port = Environment(L"DIGITAL_ID_WINE_CLIENT_AUTH_PORT");
  ASSERT_FALSE(port.empty()) << "run by scripts/test-wine against openssl s_server -Verify 1";
  const DWORD location = InstalledLocation();
  const CertStorePtr my = OwnPersonalStore(location);
  ASSERT_TRUE(my);
  const std::vector<CertContextPtr> issued = IssuedCertificates(my.get());
  ASSERT_FALSE(issued.empty());
  const CertContextPtr& certificate = issued.front();

  const wine_test::TlsExchange exchange = wine_test::ExchangeWithClientCertificate(
      static_cast<unsigned short>(std::stoi(port)), certificate.get(), "GET / HTTP/1.0\r\n\r\n");
  ASSERT_TRUE(exchange.completed) << exchange.failure;
  // The server's status page shows the client certificate it verified, in PEM.
  const std::size_t shown = exchange.reply.find("Client certificate");
  ASSERT_NE(shown, std::string::npos) << exchange.reply;
  const std::size_t begin = exchange.reply.find("-----BEGIN CERTIFICATE-----", shown);
  const std::size_t end = exchange.reply.find("-----END CERTIFICATE-----", begin);
  ASSERT_NE(end, std::string::npos) << exchange.reply;
  const std::string pem = exchange.reply.substr(begin, end + 25 - begin);
  const std::vector<BYTE> shownDer = wine_test::FromBase64(std::wstring(pem.begin(), pem.end()));
  EXPECT_EQ(shownDer, std::vector<BYTE>(certificate->pbCertEncoded,
                                        certificate->pbCertEncoded + certificate->cbCertEncoded))
      << "the server saw another certificate";
}

TEST(InstalledCertificate, RefusedRootIsInNoStore) {
  // A root whose download failed its ROOTCAThumbprint pin, as the server served it.
  const std::wstring file = Environment(L"DIGITAL_ID_WINE_REFUSED_ROOT");
  if (file.empty()) GTEST_SKIP() << "run by scripts/test-wine after a run with a refused root";
  const std::vector<BYTE> der = wine_test::ReadFileBytes(file);
  ASSERT_FALSE(der.empty());
  for (const DWORD location : {CERT_SYSTEM_STORE_CURRENT_USER, CERT_SYSTEM_STORE_LOCAL_MACHINE}) {
    for (const wchar_t* store : {L"Root", L"CA", L"My"}) {
      EXPECT_FALSE(wine_test::StoreHolds(location, store, der))
          << "the refused root is in " << std::string(store, store + std::wcslen(store));
    }
  }
}

}  // namespace
}  // namespace digital_id
