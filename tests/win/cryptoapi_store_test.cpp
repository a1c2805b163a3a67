// CryptoAPI stores and certificate functions of the Windows backend, against certificates and
// fingerprints that scripts/test-wine made with openssl on the host: the shared suite of
// tests/contracts, and what only Windows has.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/win/stores/context_flags.h"
#include "platform/win/stores/cryptoapi_cert_services.h"
#include "tests/contracts/cert_services_contract.h"
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

// CryptoAPI over the certificates scripts/test-wine made.
class CryptoApiBackend : public contracts::CertServicesBackend {
 public:
  CertServices& Services() override { return services_; }
  Bytes Der(contracts::ContractCertificate which) override {
    return CertificateBytes(which == contracts::ContractCertificate::Plain ? L"store-a" : L"names");
  }
  std::u16string PlainCommonName() override { return u"Wine Store Test A"; }
  Bytes OpenSslFingerprint(contracts::ContractCertificate which,
                           ThumbprintAlgorithm algorithm) override {
    const std::wstring stem =
        which == contracts::ContractCertificate::Plain ? L"store-a" : L"names";
    const std::wstring extension = algorithm == ThumbprintAlgorithm::Sha1 ? L".sha1" : L".sha256";
    return BytesFromHex(ReadText(DataFolder() + stem + extension));
  }
  std::u16string ScratchStore() override { return kTestStore; }

 private:
  CryptoApiCertServices services_;
};

using contracts::CertServicesContract;
INSTANTIATE_TEST_SUITE_P(CryptoApi, CertServicesContract,
                         ::testing::Values(contracts::CertServicesBackendFactory{
                             "CryptoApi", [] { return std::make_unique<CryptoApiBackend>(); }}));

TEST(CryptoApiStore, LocationsAndContextsBecomeTheWindowsValues) {
  EXPECT_EQ(SystemStoreFlag(StoreLocation::CurrentUser), 0x10000U);
  EXPECT_EQ(SystemStoreFlag(StoreLocation::LocalMachine), 0x20000U);
  EXPECT_EQ(SystemStoreFlag(EnrollmentContext::User), 0x10000U);
  EXPECT_EQ(SystemStoreFlag(EnrollmentContext::Machine), 0x20000U);
  EXPECT_EQ(X509EnrollmentContext(EnrollmentContext::User), 1);
  EXPECT_EQ(X509EnrollmentContext(EnrollmentContext::Machine), 2);
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
