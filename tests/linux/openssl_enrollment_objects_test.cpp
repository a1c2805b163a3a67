#include <gtest/gtest.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include "platform/linux/enrollment/base64_text.h"
#include "platform/linux/enrollment/openssl_enrollment_objects.h"
#include "platform/linux/stores/file_cert_services.h"
#include "platform/linux/x509/enrollment_keys.h"
#include "tests/support/backend_test_support.h"

namespace digital_id::backend_tests {
namespace {

std::string Narrow(const std::u16string& text) {
  return std::string(text.begin(), text.end());
}
std::u16string Wide(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

class OpenSslEnrollmentObjectsTest : public ::testing::Test {
 protected:
  // The request decoded from the Base64 text the objects returned.
  X509ReqPtr DecodeRequest(const std::u16string& base64) {
    const auto der = DecodeBase64Any(Narrow(base64));
    if (!der) {
      return nullptr;
    }
    const unsigned char* cursor = der->data();
    return X509ReqPtr(d2i_X509_REQ(nullptr, &cursor, static_cast<long>(der->size())));
  }

  // Base64 of a response with PEM header lines, as a server may send it.
  static std::u16string PemResponse(const Bytes& der, const std::string& label) {
    return Wide("-----BEGIN " + label + "-----\r\n" + EncodeBase64Lines(der) + "-----END " + label +
                "-----\r\n");
  }

  ScopedStoreEnvironment environment;
  FileCertServices services;
  OpenSslEnrollmentObjects objects{services};
  TestCa ca;
};

TEST_F(OpenSslEnrollmentObjectsTest, RequestIsAnRsa2048Sha256Pkcs10ThatOpenSslVerifies) {
  const std::u16string request =
      objects.CreateRequest(EnrollmentPath::Modern, EnrollmentContext::User);
  ASSERT_FALSE(request.empty());
  // Lines of 64 characters, each ended by CR LF.
  const std::string text = Narrow(request);
  ASSERT_TRUE(text.ends_with("\r\n"));
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, 64u);
    if (end + 2 < text.size()) {
      EXPECT_EQ(end - start, 64u);
    }
    start = end + 2;
  }

  const std::string file = environment.Root() + "/request.pem";
  ASSERT_TRUE(WriteFile(file, "-----BEGIN CERTIFICATE REQUEST-----\n" + text +
                                  "-----END CERTIFICATE REQUEST-----\n"));
  const auto [status, output] =
      RunCommand("openssl req -verify -noout -subject -in " + file + " 2>&1");
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("verify OK"), std::string::npos) << output;

  const X509ReqPtr parsed = DecodeRequest(request);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(X509_NAME_entry_count(X509_REQ_get_subject_name(parsed.get())), 0);
  EXPECT_EQ(X509_REQ_get_signature_nid(parsed.get()), NID_sha256WithRSAEncryption);
  EXPECT_EQ(EVP_PKEY_get_bits(X509_REQ_get0_pubkey(parsed.get())), 2048);

  // The pending key waits in REQUEST of the current user, readable by the user only.
  const auto pending = FolderEntries(environment.UserStore("REQUEST"));
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_TRUE(pending[0].ends_with(".key"));
  EXPECT_EQ(ModeOf(environment.UserStore("REQUEST") + "/" + pending[0]), 0600);
  const std::string pem = ReadFile(environment.UserStore("REQUEST") + "/" + pending[0]);
  const EvpPkeyPtr key = PrivateKeyFromPem(Bytes(pem.begin(), pem.end()));
  ASSERT_TRUE(key);
  EXPECT_EQ(EVP_PKEY_eq(key.get(), X509_REQ_get0_pubkey(parsed.get())), 1);

  // Machine context keeps its pending key at the machine location.
  EXPECT_FALSE(objects.CreateRequest(EnrollmentPath::Legacy, EnrollmentContext::Machine).empty());
  EXPECT_EQ(FolderEntries(environment.MachineStore("REQUEST")).size(), 1u);
  EXPECT_EQ(FolderEntries(environment.UserStore("REQUEST")).size(), 1u);
}

TEST_F(OpenSslEnrollmentObjectsTest, IssuedChainInstallsLeafWithKeyInMyAndChainInCa) {
  const std::u16string request =
      objects.CreateRequest(EnrollmentPath::Modern, EnrollmentContext::User);
  const X509ReqPtr parsed = DecodeRequest(request);
  ASSERT_TRUE(parsed);
  const X509Ptr leaf = ca.Issue(X509_REQ_get0_pubkey(parsed.get()), "Enrolled User");
  ASSERT_TRUE(leaf);
  const std::string pendingPem = ReadFile(environment.UserStore("REQUEST") + "/" +
                                          FolderEntries(environment.UserStore("REQUEST")).at(0));

  EXPECT_EQ(objects.InstallResponse(EnrollmentPath::Modern, EnrollmentContext::User,
                                    PemResponse(ca.ChainResponse(leaf.get()), "PKCS7")),
            0);

  auto my = services.OpenFileStore(StoreLocation::CurrentUser, u"My");
  ASSERT_TRUE(my);
  const auto personal = my->Certificates();
  ASSERT_EQ(personal.size(), 1u);
  EXPECT_EQ(personal[0]->Encoded(), CertificateDer(leaf.get()));
  const auto keys = my->Keys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].stem, personal[0]->Stem());
  EXPECT_EQ(std::string(keys[0].pem.begin(), keys[0].pem.end()), pendingPem);
  EXPECT_EQ(ModeOf(environment.UserStore("My") + "/" + keys[0].stem + ".key"), 0600);

  auto caStore = services.OpenFileStore(StoreLocation::CurrentUser, u"CA");
  ASSERT_TRUE(caStore);
  EXPECT_TRUE(caStore->Contains(CertificateDer(ca.Intermediate())));
  EXPECT_TRUE(caStore->Contains(CertificateDer(ca.Root())));
  EXPECT_EQ(caStore->Certificates().size(), 2u);
  EXPECT_TRUE(FolderEntries(environment.UserStore("REQUEST")).empty());

  // A second enrollment with a bare Base64 single certificate adds no chain duplicates.
  const X509ReqPtr second =
      DecodeRequest(objects.CreateRequest(EnrollmentPath::Legacy, EnrollmentContext::User));
  ASSERT_TRUE(second);
  const X509Ptr secondLeaf = ca.Issue(X509_REQ_get0_pubkey(second.get()), "Enrolled Again");
  const std::string bare = EncodeBase64Lines(ca.ChainResponse(secondLeaf.get()));
  EXPECT_EQ(objects.InstallResponse(EnrollmentPath::Legacy, EnrollmentContext::User, Wide(bare)),
            0);
  EXPECT_EQ(my->Certificates().size(), 2u);
  EXPECT_EQ(caStore->Certificates().size(), 2u);

  // A single certificate (no PKCS #7) installs as well.
  const X509ReqPtr third =
      DecodeRequest(objects.CreateRequest(EnrollmentPath::Modern, EnrollmentContext::User));
  ASSERT_TRUE(third);
  const X509Ptr thirdLeaf = ca.Issue(X509_REQ_get0_pubkey(third.get()), "Single");
  EXPECT_EQ(objects.InstallResponse(EnrollmentPath::Modern, EnrollmentContext::User,
                                    PemResponse(CertificateDer(thirdLeaf.get()), "CERTIFICATE")),
            0);
  EXPECT_EQ(my->Certificates().size(), 3u);
  EXPECT_EQ(caStore->Certificates().size(), 2u);
}

TEST_F(OpenSslEnrollmentObjectsTest, ResponsesThatDoNotFitAPendingKeyAreRefusedAndChangeNothing) {
  ASSERT_FALSE(objects.CreateRequest(EnrollmentPath::Modern, EnrollmentContext::User).empty());
  // Make sure every store folder exists, so that a change would be visible.
  for (const char16_t* name : {u"My", u"CA", u"Root"}) {
    ASSERT_TRUE(services.OpenFileStore(StoreLocation::CurrentUser, name));
  }
  const auto before = environment.Snapshot();

  const EvpPkeyPtr otherKey = MakeEcKey();
  const X509Ptr foreign = ca.Issue(otherKey.get(), "Somebody Else");
  EXPECT_EQ(objects.InstallResponse(EnrollmentPath::Modern, EnrollmentContext::User,
                                    PemResponse(ca.ChainResponse(foreign.get()), "PKCS7")),
            kCryptENotFound);
  EXPECT_EQ(objects.InstallResponse(EnrollmentPath::Modern, EnrollmentContext::User,
                                    u"not base64 at all!"),
            kEInvalidData);
  EXPECT_EQ(objects.InstallResponse(EnrollmentPath::Modern, EnrollmentContext::User,
                                    Wide(EncodeBase64Lines({0x30, 0x03, 0x02, 0x01, 0x05}))),
            kCryptEAsn1Eod);
  EXPECT_NE(objects.InstallResponse(EnrollmentPath::Modern, EnrollmentContext::User, u""), 0);
  EXPECT_NE(
      objects.InstallResponse(EnrollmentPath::Modern, EnrollmentContext::User, u"\u00E9t\u00E9"),
      0);
  EXPECT_EQ(environment.Snapshot(), before);

  // A response for a key pending in the machine context does not install in the user context.
  const X509ReqPtr machine =
      DecodeRequest(objects.CreateRequest(EnrollmentPath::Modern, EnrollmentContext::Machine));
  ASSERT_TRUE(machine);
  const auto withMachineKey = environment.Snapshot();
  const X509Ptr machineLeaf = ca.Issue(X509_REQ_get0_pubkey(machine.get()), "Machine");
  EXPECT_EQ(objects.InstallResponse(EnrollmentPath::Modern, EnrollmentContext::User,
                                    PemResponse(ca.ChainResponse(machineLeaf.get()), "PKCS7")),
            kCryptENotFound);
  EXPECT_EQ(environment.Snapshot(), withMachineKey);
}

}  // namespace
}  // namespace digital_id::backend_tests
