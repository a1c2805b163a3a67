// CryptoAPI stores and certificate functions of the Windows backend, against certificates and
// fingerprints that scripts/test-wine made with openssl on the host.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/win/stores/context_flags.h"
#include "platform/win/stores/cryptoapi_cert_services.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id {
namespace {

using wine_test::BytesFromHex;
using wine_test::DataFolder;
using wine_test::ReadFileBytes;

// The store the tests may fill freely; a new name makes a new current-user store.
constexpr char16_t kTestStore[] = u"DigitalIdWineTest";

std::string ReadText(const std::wstring& path) {
  std::ifstream file(path.c_str());
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The DER of a certificate scripts/test-wine made; fails the test when it is missing.
Bytes CertificateBytes(const std::wstring& stem) {
  Bytes bytes = ReadFileBytes(DataFolder() + stem + L".der");
  EXPECT_FALSE(bytes.empty()) << "no test certificate " << std::string(stem.begin(), stem.end())
                              << " (DIGITAL_ID_WINE_DATA is set by scripts/test-wine)";
  return bytes;
}

TEST(CryptoApiStore, AddedCertificateIsFoundBySubjectWithTheThumbprintsOpensslComputed) {
  CryptoApiCertServices services;
  const Bytes der = CertificateBytes(L"store-a");
  ASSERT_FALSE(der.empty());
  const CertificatePtr certificate = services.CreateFromDer(der.data(), der.size());
  ASSERT_NE(certificate, nullptr);
  EXPECT_EQ(certificate->Encoded(), der);

  EXPECT_EQ(services.Thumbprint(ThumbprintAlgorithm::Sha1, *certificate),
            BytesFromHex(ReadText(DataFolder() + L"store-a.sha1")));
  EXPECT_EQ(services.Thumbprint(ThumbprintAlgorithm::Sha256, *certificate),
            BytesFromHex(ReadText(DataFolder() + L"store-a.sha256")));
  EXPECT_EQ(services.Thumbprint(ThumbprintAlgorithm::Sha1, *certificate).size(), 20U);

  for (const char16_t* name : {kTestStore, u"CA", u"My"}) {
    {
      const auto store = services.OpenSystemStore(StoreLocation::CurrentUser, name);
      ASSERT_NE(store, nullptr);
      EXPECT_TRUE(store->Add(*certificate));
    }
    // A store opened afresh sees the addition; the search ignores case.
    const auto reopened = services.OpenSystemStore(StoreLocation::CurrentUser, name);
    ASSERT_NE(reopened, nullptr);
    const CertificatePtr found = reopened->FindFirstBySubject(u"wine store TEST a");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Encoded(), der);
    EXPECT_EQ(reopened->FindFirstBySubject(u"No Such Subject Anywhere"), nullptr);
  }
}

TEST(CryptoApiStore, BytesThatAreNotExactlyOneCertificateGiveNoCertificate) {
  CryptoApiCertServices services;
  Bytes der = CertificateBytes(L"store-a");
  ASSERT_FALSE(der.empty());
  Bytes longer = der;
  longer.push_back(0);
  EXPECT_EQ(services.CreateFromDer(longer.data(), longer.size()), nullptr);
  EXPECT_EQ(services.CreateFromDer(der.data(), der.size() - 1), nullptr);
  const std::string html = "<html>404</html>";
  EXPECT_EQ(services.CreateFromDer(reinterpret_cast<const std::uint8_t*>(html.data()), html.size()),
            nullptr);
}

TEST(CryptoApiStore, LocationsAndContextsBecomeTheWindowsValues) {
  EXPECT_EQ(SystemStoreFlag(StoreLocation::CurrentUser), 0x10000U);
  EXPECT_EQ(SystemStoreFlag(StoreLocation::LocalMachine), 0x20000U);
  EXPECT_EQ(SystemStoreFlag(EnrollmentContext::User), 0x10000U);
  EXPECT_EQ(SystemStoreFlag(EnrollmentContext::Machine), 0x20000U);
  EXPECT_EQ(X509EnrollmentContext(EnrollmentContext::User), 1);
  EXPECT_EQ(X509EnrollmentContext(EnrollmentContext::Machine), 2);
}

TEST(CryptoApiStore, SimpleNameStringsQuoteAndJoinAsThePlatformRendersThem) {
  CryptoApiCertServices services;
  const Bytes plain = CertificateBytes(L"store-a");
  const Bytes names = CertificateBytes(L"names");
  ASSERT_FALSE(plain.empty());
  ASSERT_FALSE(names.empty());
  const CertificatePtr a = services.CreateFromDer(plain.data(), plain.size());
  const CertificatePtr b = services.CreateFromDer(names.data(), names.size());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);

  EXPECT_EQ(services.NameToSimpleString(a->EncodedSubject(), 256),
            u"XX, Example Org, Wine Store Test A");
  // Self-signed: the issuer renders the same way.
  EXPECT_EQ(services.NameToSimpleString(a->EncodedIssuer(), 256),
            u"XX, Example Org, Wine Store Test A");
  // Subject made by scripts/test-wine: /C=XX/O=Example, Org/OU=Unit A+CN=Multi Value/CN=Say "Hi"
  const std::u16string expected = u"XX, \"Example, Org\", Unit A + Multi Value, \"Say \"\"Hi\"\"\"";
  EXPECT_EQ(services.NameToSimpleString(b->EncodedSubject(), 256), expected);
  // A short buffer keeps what fits, terminator included.
  EXPECT_EQ(services.NameToSimpleString(b->EncodedSubject(), 9), expected.substr(0, 8));
}

// First of two processes: adds two certificates to CA and deletes one of them.
TEST(CryptoApiStore, DeleteRemovesOnlyTheCertificateFound) {
  CryptoApiCertServices services;
  const Bytes kept = CertificateBytes(L"store-kept");
  const Bytes deleted = CertificateBytes(L"store-deleted");
  ASSERT_FALSE(kept.empty());
  ASSERT_FALSE(deleted.empty());
  {
    const auto store = services.OpenSystemStore(StoreLocation::CurrentUser, u"CA");
    ASSERT_NE(store, nullptr);
    for (const Bytes* der : {&kept, &deleted}) {
      const CertificatePtr certificate = services.CreateFromDer(der->data(), der->size());
      ASSERT_NE(certificate, nullptr);
      ASSERT_TRUE(store->Add(*certificate));
    }
  }
  const auto store = services.OpenSystemStore(StoreLocation::CurrentUser, u"CA");
  ASSERT_NE(store, nullptr);
  CertificatePtr found = store->FindFirstBySubject(u"Wine Store Deleted");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Encoded(), deleted);
  EXPECT_TRUE(store->Delete(std::move(found)));
  EXPECT_EQ(store->FindFirstBySubject(u"Wine Store Deleted"), nullptr);
  EXPECT_NE(store->FindFirstBySubject(u"Wine Store Kept"), nullptr);
}

// Second process (run by scripts/test-wine after the first has ended, with a filter on this
// suite): the deletion was committed, the other addition persisted.
TEST(CryptoApiStoreNextProcess, DeletedCertificateIsGoneAndTheOtherRemains) {
  CryptoApiCertServices services;
  const auto store = services.OpenSystemStore(StoreLocation::CurrentUser, u"CA");
  ASSERT_NE(store, nullptr);
  const CertificatePtr kept = store->FindFirstBySubject(u"Wine Store Kept");
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Encoded(), CertificateBytes(L"store-kept"));
  EXPECT_EQ(store->FindFirstBySubject(u"Wine Store Deleted"), nullptr);
}

}  // namespace
}  // namespace digital_id
