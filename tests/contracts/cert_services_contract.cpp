#include "tests/contracts/cert_services_contract.h"

namespace digital_id::contracts {
namespace {

// The text with the case of every ASCII letter turned round.
std::u16string OtherCase(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') {
      c = static_cast<char16_t>(c - u'a' + u'A');
    } else if (c >= u'A' && c <= u'Z') {
      c = static_cast<char16_t>(c - u'A' + u'a');
    }
  }
  return text;
}

TEST_P(CertServicesContract, AddedCertificateIsFoundBySubjectInAStoreOpenedAfresh) {
  CertServices& services = Backend().Services();
  const Bytes der = Backend().Der(ContractCertificate::Plain);
  ASSERT_FALSE(der.empty());
  const CertificatePtr certificate = services.CreateFromDer(der.data(), der.size());
  ASSERT_NE(certificate, nullptr);
  EXPECT_EQ(certificate->Encoded(), der);

  for (const std::u16string& name :
       {Backend().ScratchStore(), std::u16string(u"CA"), std::u16string(u"My")}) {
    {
      const auto store = services.OpenSystemStore(StoreLocation::CurrentUser, name);
      ASSERT_NE(store, nullptr);
      EXPECT_TRUE(store->Add(*certificate));
    }
    // A store opened afresh sees the addition; the search ignores case.
    const auto reopened = services.OpenSystemStore(StoreLocation::CurrentUser, name);
    ASSERT_NE(reopened, nullptr);
    const CertificatePtr found =
        reopened->FindFirstBySubject(OtherCase(Backend().PlainCommonName()));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Encoded(), der);
    EXPECT_EQ(reopened->FindFirstBySubject(u"No Such Subject Anywhere"), nullptr);
  }
}

TEST_P(CertServicesContract, ThumbprintsEqualTheOpenSslFingerprints) {
  CertServices& services = Backend().Services();
  const Bytes der = Backend().Der(ContractCertificate::Plain);
  ASSERT_FALSE(der.empty());
  const CertificatePtr certificate = services.CreateFromDer(der.data(), der.size());
  ASSERT_NE(certificate, nullptr);
  const Bytes sha1 = services.Thumbprint(ThumbprintAlgorithm::Sha1, *certificate);
  const Bytes sha256 = services.Thumbprint(ThumbprintAlgorithm::Sha256, *certificate);
  EXPECT_EQ(sha1.size(), 20U);
  EXPECT_EQ(sha256.size(), 32U);
  EXPECT_EQ(sha1,
            Backend().OpenSslFingerprint(ContractCertificate::Plain, ThumbprintAlgorithm::Sha1));
  EXPECT_EQ(sha256,
            Backend().OpenSslFingerprint(ContractCertificate::Plain, ThumbprintAlgorithm::Sha256));
}

TEST_P(CertServicesContract, BytesThatAreNotExactlyOneDerCertificateGiveNoCertificate) {
  CertServices& services = Backend().Services();
  const Bytes der = Backend().Der(ContractCertificate::Plain);
  ASSERT_FALSE(der.empty());
  EXPECT_NE(services.CreateFromDer(der.data(), der.size()), nullptr);
  Bytes longer = der;
  longer.push_back(0);
  EXPECT_EQ(services.CreateFromDer(longer.data(), longer.size()), nullptr);
  EXPECT_EQ(services.CreateFromDer(der.data(), der.size() - 1), nullptr);
  EXPECT_EQ(services.CreateFromDer(der.data(), 0), nullptr);
  EXPECT_EQ(services.CreateFromDer(nullptr, 10), nullptr);
  for (const std::string text :
       {"<html>404</html>", "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n"}) {
    EXPECT_EQ(
        services.CreateFromDer(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
        nullptr)
        << text;
  }
}

TEST_P(CertServicesContract, SimpleNamesQuoteAndJoinTheValuesInEncodedOrder) {
  CertServices& services = Backend().Services();
  const Bytes plain = Backend().Der(ContractCertificate::Plain);
  const Bytes names = Backend().Der(ContractCertificate::Names);
  ASSERT_FALSE(plain.empty());
  ASSERT_FALSE(names.empty());
  const CertificatePtr a = services.CreateFromDer(plain.data(), plain.size());
  const CertificatePtr b = services.CreateFromDer(names.data(), names.size());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);

  const std::u16string simple = u"XX, Example Org, " + Backend().PlainCommonName();
  EXPECT_EQ(services.NameToSimpleString(a->EncodedSubject(), 256), simple);
  // Self-signed: the issuer renders the same way.
  EXPECT_EQ(services.NameToSimpleString(a->EncodedIssuer(), 256), simple);
  // A comma and quotes make a value quoted, with its quotes doubled; the values of one
  // multi-valued part are joined by " + ".
  const std::u16string expected = u"XX, \"Example, Org\", Unit A + Multi Value, \"Say \"\"Hi\"\"\"";
  EXPECT_EQ(services.NameToSimpleString(b->EncodedSubject(), 256), expected);
  // A short buffer keeps what fits, terminator included.
  EXPECT_EQ(services.NameToSimpleString(b->EncodedSubject(), 9), expected.substr(0, 8));
}

}  // namespace
}  // namespace digital_id::contracts
