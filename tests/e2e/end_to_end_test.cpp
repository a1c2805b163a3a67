// End-to-end enrollments: digital-id-enroll against digital-id-test-server over real HTTP and TLS,
// into store folders of a temporary tree. Enrollments that reach the verdict pause 5 s in the
// client, so independent runs of one test go side by side.

#include <gtest/gtest.h>
#include <openssl/x509.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "tests/e2e/end_to_end_support.h"

namespace digital_id::end_to_end {
namespace {

using test_server_tests::MakePkcs10;
using test_server_tests::RequestMessage;
using test_server_tests::TlsClient;

const std::string kDenialText =
    "detail: Certificate was not issued. Ensure secure code was copied and pasted properly and "
    "has not been used before.";

// The last count lines (fewer when there are fewer).
std::vector<std::string> Tail(const std::vector<std::string>& lines, std::size_t count) {
  const std::size_t start = lines.size() > count ? lines.size() - count : 0;
  return {lines.begin() + static_cast<std::ptrdiff_t>(start), lines.end()};
}

// Every certificate of a store folder with the key file of the same name, which must belong to
// it; the number of such pairs, or -1 when a certificate lacks its key or the key does not fit.
int CertificatesWithMatchingKeys(const std::string& store) {
  const std::vector<std::string> certificates = FilesWithExtension(store, ".der");
  if (certificates.size() != FilesWithExtension(store, ".key").size()) return -1;
  for (const std::string& name : certificates) {
    const std::string stem = store + "/" + name.substr(0, name.size() - 4);
    CertPtr certificate = ReadDerCertificate(stem + ".der");
    KeyPtr key = ReadPemKey(stem + ".key");
    if (!certificate || !key || X509_check_private_key(certificate.get(), key.get()) != 1) {
      return -1;
    }
  }
  return static_cast<int>(certificates.size());
}

// The common name of the only certificate of a store; "" unless it holds exactly one file.
std::string OnlyCertificateName(const std::string& store) {
  const std::vector<std::string> files = FilesWithExtension(store);
  if (files.size() != 1) return {};
  return SubjectCommonName(ReadDerCertificate(store + "/" + files[0]));
}

class EndToEndEnrollmentTest : public EndToEndTest {};

TEST_F(EndToEndEnrollmentTest, FirstEnrollmentInstallsAnchorsAndCertificateAndSecondReusesAnchors) {
  ASSERT_TRUE(StartServer({"--code", "FIRST-1", "--code", "SECOND-2"}));
  const ClientSite site = NewSite("client");

  const EnrollOutcome first = Enroll(site, "FIRST-1");
  EXPECT_EQ(first.exitCode, 0) << first.errors;
  const std::vector<std::string> expected = {
      "status: ",
      "detail: ",
      "status: Checking CA certificate.",
      "detail: ",
      "status: CA certificate downloading.",
      "detail: ",
      "status: Checking CA certificate.",
      "detail: CA certificate not found.",
      "status: Installing CA certificate.",
      "detail: ",
      "status: Checking Root certificate.",
      "detail: ",
      "status: Root certificate downloading.",
      "detail: ",
      "status: Checking Root certificate.",
      "detail: Root certificate not found.",
      "status: Installing Root certificate.",
      "detail: Please say \"Yes\" to the security warning.",
      "status: Connecting to server.",
      "detail: ",
      "status: Connecting to server.",
      "detail: Successfully connected.",
      "status: Submitting certificate request.",
      "detail: ",
      "status: Certificate request submitted.",
      "detail: Certificate request is in progress.",
      "status: Certificate was issued.",
      "detail: Installing certificate.",
      "status: Certificate was issued.",
      "detail: Certificate installation completed. Click Close to exit.",
  };
  EXPECT_EQ(first.lines, expected);

  // One anchor in each anchor store: the copy of the root that came with the chain was removed
  // from CA again.
  const std::vector<std::string> caFiles = FilesWithExtension(site.Store("CA"));
  const std::vector<std::string> rootFiles = FilesWithExtension(site.Store("Root"));
  EXPECT_EQ(OnlyCertificateName(site.Store("CA")), "Example Issuing CA");
  EXPECT_EQ(OnlyCertificateName(site.Store("Root")), "Example Root CA");
  // The issued certificate with its key; the pending key left REQUEST.
  EXPECT_EQ(CertificatesWithMatchingKeys(site.Store("My")), 1);
  EXPECT_EQ(FilesWithExtension(site.Store("My")).size(), 2u);
  EXPECT_TRUE(FilesWithExtension(site.Store("REQUEST")).empty());
  const std::vector<std::string> issued = FilesWithExtension(site.Store("My"), ".der");
  ASSERT_EQ(issued.size(), 1u);
  CertPtr leaf = ReadDerCertificate(site.Store("My") + "/" + issued[0]);
  ASSERT_TRUE(leaf);
  EXPECT_EQ(test_server_tests::NameValue(X509_get_issuer_name(leaf.get()), NID_commonName),
            "Example Issuing CA");
  struct stat keyStatus {};
  const std::string keyFile = FilesWithExtension(site.Store("My"), ".key").at(0);
  ASSERT_EQ(::stat((site.Store("My") + "/" + keyFile).c_str(), &keyStatus), 0);
  EXPECT_EQ(keyStatus.st_mode & 0777, 0600u);
  EXPECT_TRUE(WaitForClosed("FIRST-1"));
  EXPECT_TRUE(HasEvent("cltack FIRST-1")) << EventText();

  // A second code in the same stores: the stored anchors pass, nothing is added to them.
  const EnrollOutcome second = Enroll(site, "SECOND-2");
  EXPECT_EQ(second.exitCode, 0) << second.errors;
  EXPECT_TRUE(HasAdjacentLines(second.lines, "status: Checking CA certificate.",
                               "detail: CA certificate found."))
      << Joined(second.lines);
  EXPECT_TRUE(HasAdjacentLines(second.lines, "status: Checking Root certificate.",
                               "detail: Root certificate found."))
      << Joined(second.lines);
  EXPECT_EQ(FindLine(second.lines, "status: Installing CA certificate."), second.lines.size());
  EXPECT_EQ(FindLine(second.lines, "status: Installing Root certificate."), second.lines.size());
  EXPECT_EQ(Tail(second.lines, 2),
            (std::vector<std::string>{
                "status: Certificate was issued.",
                "detail: Certificate installation completed. Click Close to exit."}));
  EXPECT_EQ(FilesWithExtension(site.Store("CA")), caFiles);
  EXPECT_EQ(FilesWithExtension(site.Store("Root")), rootFiles);
  EXPECT_EQ(CertificatesWithMatchingKeys(site.Store("My")), 2);
  EXPECT_TRUE(FilesWithExtension(site.Store("REQUEST")).empty());
  EXPECT_TRUE(WaitForClosed("SECOND-2"));
}

// (The denial and the two refusals are scenarios of the shared table.)
TEST_F(EndToEndEnrollmentTest, AUsedCodeIsDenied) {
  ASSERT_TRUE(StartServer({"--code", "USED-1"}));
  // Use the one-time code up first, speaking the protocol directly.
  {
    TlsClient client;
    ASSERT_TRUE(client.Connect(server->TlsPort(), folder.Path() + "/server/data/root.cert.pem"));
    ASSERT_TRUE(client.Send(RequestMessage("USED-1", "Earlier User", MakePkcs10().base64)));
    EXPECT_EQ(client.Receive().value_or(""), "SRVACK;");
    EXPECT_EQ(client.Receive().value_or("").rfind("ISSUED;", 0), 0u);
    EXPECT_TRUE(client.Send("CLTACK;"));
  }
  ASSERT_TRUE(WaitForClosed("USED-1"));

  const ClientSite usedSite = NewSite("used");
  const EnrollOutcome used = Enroll(usedSite, "USED-1");
  EXPECT_EQ(used.exitCode, 1);
  EXPECT_EQ(Tail(used.lines, 2), (std::vector<std::string>{"status: Request denied.", kDenialText}))
      << Joined(used.lines);
  ASSERT_TRUE(server->WaitForEvent("closed USED-1", 2)) << EventText();
  EXPECT_TRUE(HasEvent("verdict USED-1 DENIED")) << EventText();
  EXPECT_TRUE(server->WaitForEvent("cltack USED-1", 2)) << EventText();
  EXPECT_TRUE(FilesWithExtension(usedSite.Store("My")).empty());
}

TEST_F(EndToEndEnrollmentTest, FrenchTextsFollowLanguageAndMachineContextUsesMachineStores) {
  ASSERT_TRUE(StartServer({"--code", "FRENCH-1", "--code", "MACHINE-1", "--advance-mode"}));
  const ClientSite frenchSite = NewSite("french");
  ASSERT_TRUE(SetIniValue(frenchSite.Settings(), "Language", "FR"));
  const ClientSite machineSite = NewSite("machine");
  // The machine run reads its settings through --settings from a folder without app.ini.
  ClientSite machineRun = machineSite;
  machineRun.work = folder.Path() + "/machine/elsewhere";
  std::filesystem::create_directories(machineRun.work);

  auto frenchRun = std::async(std::launch::async, [&] { return Enroll(frenchSite, "FRENCH-1"); });
  auto machineEnrollment = std::async(std::launch::async, [&] {
    return Enroll(machineRun, "MACHINE-1", {"--machine", "--settings", machineSite.Settings()});
  });
  const EnrollOutcome french = frenchRun.get();
  const EnrollOutcome machine = machineEnrollment.get();

  EXPECT_EQ(french.exitCode, 0) << french.errors;
  ASSERT_GE(french.lines.size(), 4u);
  EXPECT_EQ(french.lines[2], "status: Vérification du certificat de l'AC.");
  EXPECT_TRUE(HasAdjacentLines(french.lines, "status: Vérification du certificat racine.",
                               "detail: Certificat racine non détecté."))
      << Joined(french.lines);
  EXPECT_TRUE(
      HasAdjacentLines(french.lines, "status: Connexion au serveur.", "detail: Connexion réussie."))
      << Joined(french.lines);
  EXPECT_EQ(Tail(french.lines, 2),
            (std::vector<std::string>{"status: Le certificat a été émis.",
                                      "detail: Installation du certificat terminée. Cliquer sur « "
                                      "Fermer » pour terminer."}))
      << Joined(french.lines);
  EXPECT_EQ(CertificatesWithMatchingKeys(frenchSite.Store("My")), 1);

  EXPECT_EQ(machine.exitCode, 0) << machine.errors;
  EXPECT_EQ(Tail(machine.lines, 2),
            (std::vector<std::string>{
                "status: Certificate was issued.",
                "detail: Certificate installation completed. Click Close to exit."}))
      << Joined(machine.lines);
  EXPECT_EQ(OnlyCertificateName(machineSite.Store("CA", true)), "Example Issuing CA");
  EXPECT_EQ(OnlyCertificateName(machineSite.Store("Root", true)), "Example Root CA");
  EXPECT_EQ(CertificatesWithMatchingKeys(machineSite.Store("My", true)), 1);
  EXPECT_TRUE(FilesWithExtension(machineSite.Store("REQUEST", true)).empty());
  // Nothing of the machine run lands in the user's stores.
  EXPECT_FALSE(std::filesystem::exists(machineSite.userData + "/digital-id"));
  EXPECT_TRUE(WaitForClosed("FRENCH-1") && WaitForClosed("MACHINE-1")) << EventText();
}

TEST_F(EndToEndEnrollmentTest, MachineContextNeedsAdvanceModeAndAnOpenableMachineLocation) {
  ASSERT_TRUE(StartServer({"--code", "UNUSED-1", "--advance-mode"}));
  const ClientSite plainSite = NewSite("plain");
  ASSERT_TRUE(SetIniValue(plainSite.Settings(), "AdvanceMode", "FALSE"));
  // Tests run as root, whom folder permissions do not stop, so an unusable machine location is
  // made from a regular file: no store folder can be created below it.
  ClientSite belowFileSite = NewSite("below-file");
  std::ofstream(belowFileSite.work + "/regular-file") << "not a folder";
  belowFileSite.machineStores = belowFileSite.work + "/regular-file/stores";
  // Here only the Root store is a regular file: CA opens, Root cannot.
  const ClientSite rootFileSite = NewSite("root-file");
  std::filesystem::create_directories(rootFileSite.machineStores);
  std::ofstream(rootFileSite.machineStores + "/Root") << "not a folder";

  const EnrollOutcome plain = Enroll(plainSite, "UNUSED-1", {"--machine"});
  EXPECT_EQ(plain.exitCode, 2);
  EXPECT_TRUE(plain.lines.empty()) << Joined(plain.lines);
  EXPECT_NE(plain.errors.find("AdvanceMode"), std::string::npos) << plain.errors;

  auto belowFileRun = std::async(std::launch::async,
                                 [&] { return Enroll(belowFileSite, "UNUSED-1", {"--machine"}); });
  const EnrollOutcome rootFile = Enroll(rootFileSite, "UNUSED-1", {"--machine"});
  const EnrollOutcome belowFile = belowFileRun.get();

  // With no machine store at all, the CA store is the first one the run tries to open, so the
  // CA installation failure is what shows; the Root check is never reached.
  EXPECT_EQ(belowFile.exitCode, 1);
  EXPECT_EQ(Tail(belowFile.lines, 2),
            (std::vector<std::string>{"status: CA certificate installation failed.",
                                      "detail: Unable to install CA certificate."}))
      << Joined(belowFile.lines);
  EXPECT_EQ(FindLine(belowFile.lines, "status: Checking Root certificate."),
            belowFile.lines.size());
  // With the CA store usable, the Root store that cannot be opened gives the administrator text.
  EXPECT_EQ(rootFile.exitCode, 1);
  EXPECT_EQ(Tail(rootFile.lines, 2),
            (std::vector<std::string>{"status: Checking Root certificate.",
                                      "detail: Unable to find or install Root certificate. Please "
                                      "ensure you have Administrator permissions."}))
      << Joined(rootFile.lines);
  EXPECT_EQ(OnlyCertificateName(rootFileSite.Store("CA", true)), "Example Issuing CA");
  // None of the three reached the issuing server.
  EXPECT_FALSE(HasEvent("request UNUSED-1")) << EventText();
  EXPECT_FALSE(HasEvent("handshake-failed")) << EventText();
}

}  // namespace
}  // namespace digital_id::end_to_end
