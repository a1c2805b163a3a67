// CryptoAPI stores and certificate functions of the Windows backend, against certificates and
// fingerprints that scripts/test-wine made with openssl on the host: the shared suite of
// tests/contracts, and what only Windows has (among it the list of identities of My).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "base/serial_text.h"
#include "platform/win/stores/context_flags.h"
#include "platform/win/stores/cryptoapi_cert_services.h"
#include "platform/win/stores/identity_inventory.h"
#include "platform/win/x509/crypt_handles.h"
#include "platform/win/x509/name_text.h"
#include "tests/contracts/cert_services_contract.h"
#include "tests/win/installed_certificates.h"
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
  // Store providers leave a Windows error either as it is or as the HRESULT that carries it.
  EXPECT_EQ(StoreOpenErrorText(ERROR_ACCESS_DENIED), "access denied");
  EXPECT_EQ(StoreOpenErrorText(0x80070005), "access denied");
  EXPECT_TRUE(StoreIsMissing(0x80070002));
  EXPECT_FALSE(StoreIsMissing(ERROR_ACCESS_DENIED));
  EXPECT_EQ(StoreOpenErrorText(0x80092004), "error 0x80092004");
}

std::string FirstLine(const std::wstring& path) {
  const std::string text = ReadText(path);
  return text.substr(0, text.find_first_of("\r\n"));
}

// The record of My's inventory with a serial; null when there is none.
const IdentityRecord* WithSerial(const IdentityInventory& inventory, const std::string& serial) {
  const auto found =
      std::find_if(inventory.identities.begin(), inventory.identities.end(),
                   [&](const IdentityRecord& each) { return each.serial == serial; });
  return found == inventory.identities.end() ? nullptr : &*found;
}

// The serial numbers of an inventory, for a failure's message.
std::string Serials(const IdentityInventory& inventory) {
  std::string serials;
  for (const IdentityRecord& each : inventory.identities) serials += each.serial + " ";
  return serials;
}

// The user's My as --status lists it: a certificate added without a key comes with the name,
// serial and end of validity that OpenSSL reads from it and without a key, also once its key
// information names a container that does not exist; the identities the console runs installed
// come with their keys.
TEST(CryptoApiStore, IdentityInventoryListsMyAsTheLinuxBackendWritesIt) {
  const Bytes der = CertificateBytes(L"names");
  const CertStorePtr my(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"My"));
  ASSERT_TRUE(my);
  PCCERT_CONTEXT added = nullptr;
  ASSERT_NE(CertAddEncodedCertificateToStore(my.get(), X509_ASN_ENCODING, der.data(),
                                             static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS,
                                             &added),
            FALSE);
  const CertContextPtr owned(added);
  // A system store keeps its changes in memory until they are committed.
  ASSERT_NE(CertControlStore(my.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr), FALSE);
  const std::string serial = FirstLine(DataFolder() + L"names.serial");
  ASSERT_FALSE(serial.empty());

  IdentityInventory inventory = ReadIdentityInventory(StoreLocation::CurrentUser);
  EXPECT_EQ(inventory.error, "");
  const IdentityRecord* listed = WithSerial(inventory, serial);
  ASSERT_NE(listed, nullptr) << serial << " is not among " << Serials(inventory);
  // Quotes, commas and a relative name of two attributes, as on Linux.
  EXPECT_EQ(listed->subject, FirstLine(DataFolder() + L"names.subject"));
  EXPECT_EQ(listed->issuer, listed->subject);
  EXPECT_EQ(listed->notAfter, std::stoll(FirstLine(DataFolder() + L"names.until")));
  EXPECT_EQ(listed->notAfter - listed->notBefore, 30 * 86'400);
  EXPECT_FALSE(listed->hasPrivateKey);
  EXPECT_TRUE(listed->publishedFiles.empty() && listed->nssDatabases.empty());

  wchar_t container[] = L"digital-id-no-such-container";
  CRYPT_KEY_PROV_INFO key{};
  key.pwszContainerName = container;
  key.dwProvType = PROV_RSA_FULL;
  key.dwKeySpec = AT_KEYEXCHANGE;
  ASSERT_NE(CertSetCertificateContextProperty(added, CERT_KEY_PROV_INFO_PROP_ID, 0, &key), FALSE);
  ASSERT_NE(CertControlStore(my.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr), FALSE);
  inventory = ReadIdentityInventory(StoreLocation::CurrentUser);
  listed = WithSerial(inventory, serial);
  ASSERT_NE(listed, nullptr);
  EXPECT_FALSE(listed->hasPrivateKey) << "key information alone is not a key";

  const std::vector<CertContextPtr> issued =
      wine_test::IssuedCertificates(CERT_SYSTEM_STORE_CURRENT_USER);
  EXPECT_FALSE(issued.empty()) << "the console runs install identities first";
  for (const CertContextPtr& certificate : issued) {
    const CRYPT_INTEGER_BLOB& number = certificate->pCertInfo->SerialNumber;
    const std::vector<BYTE> bigEndian(std::make_reverse_iterator(number.pbData + number.cbData),
                                      std::make_reverse_iterator(number.pbData));
    const std::string text = SerialText(bigEndian);
    const IdentityRecord* record = WithSerial(inventory, text);
    ASSERT_NE(record, nullptr) << text;
    EXPECT_TRUE(record->hasPrivateKey) << text;
    EXPECT_EQ(record->issuer, "CN=Example Issuing CA,O=Example Org,C=XX");
  }
  for (std::size_t i = 1; i < inventory.identities.size(); ++i) {
    EXPECT_LE(inventory.identities[i - 1].notBefore, inventory.identities[i].notBefore);
  }
  EXPECT_NE(CertDeleteCertificateFromStore(CertDuplicateCertificateContext(added)), FALSE);
  EXPECT_NE(CertControlStore(my.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr), FALSE);
}

// What a name reads as where the test certificate cannot show it: CryptoAPI's names of
// attributes become OpenSSL's, and values are escaped as OpenSSL escapes them.
TEST(CryptoApiStore, NamesReadAsOpenSslWritesThem) {
  EXPECT_EQ(NameTextFromX500(u"C=XX, S=Bretagne, E=a@example.org, CN=\" lead + trail \""),
            "CN=\\ lead \\+ trail\\ ,emailAddress=a@example.org,ST=Bretagne,C=XX");
  EXPECT_EQ(NameTextFromX500(u"OID.1.2.3=\"#x;<y>\", CN=a\u00e9"),
            "CN=a\xC3\xA9,1.2.3=\\#x\\;\\<y\\>");
  EXPECT_EQ(NameTextFromX500(u"CN=\"unterminated"), "");
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
