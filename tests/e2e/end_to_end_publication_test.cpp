// The identity an enrollment installs, used by other programs as they find it: curl with the
// published PEM files and with a PKCS #12 file from digital-id-enroll --export-pkcs12 against the
// test server's endpoint that requires a client certificate, certutil on the user's NSS
// database, and openssl s_client trusting the machine's anchors from the system trust folder the
// enrollment wrote. digital-id-enroll reports what it published on standard error. A machine run
// that does not end with an issued identity leaves no trust behind.

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <future>

#include "tests/e2e/end_to_end_support.h"
#include "tests/support/backend_test_support.h"

namespace digital_id::end_to_end {
namespace {

using backend_tests::RunCommand;

// The RFC 2253 subject of a certificate, as the test server's endpoint shows it.
std::string Rfc2253Subject(const CertPtr& certificate) {
  std::unique_ptr<BIO, test_server_tests::Deleter<BIO, BIO_free_all>> bio(BIO_new(BIO_s_mem()));
  X509_NAME_print_ex(bio.get(), X509_get_subject_name(certificate.get()), 0,
                     XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

class EndToEndPublicationTest : public EndToEndTest {};

TEST_F(EndToEndPublicationTest, EnrolledIdentityReachesHttpsClientsBrowsersDatabaseAndSystemTrust) {
  ASSERT_TRUE(StartServer(
      {"--code", "USER-1", "--code", "MACHINE-1", "--advance-mode", "--verdict-delay-ms", "0"}));
  ASSERT_NE(server->ClientAuthPort(), 0);
  const ClientSite user = NewSite("user");
  const ClientSite machine = NewSite("machine");
  const std::string trust = folder.Path() + "/machine/trust";
  auto userEnrollment = std::async(std::launch::async, [&] { return Enroll(user, "USER-1"); });
  const EnrollOutcome machineRun =
      Enroll(machine, "MACHINE-1", {"--machine"},
             {{"DIGITAL_ID_SYSTEM_TRUST_DIR", trust},
              {"DIGITAL_ID_UPDATE_CA_COMMAND", "/usr/bin/openssl rehash " + trust}});
  const EnrollOutcome userRun = userEnrollment.get();
  ASSERT_EQ(userRun.exitCode, 0) << userRun.errors << Joined(userRun.lines);
  ASSERT_EQ(machineRun.exitCode, 0) << machineRun.errors << Joined(machineRun.lines);
  // Standard output holds the status and detail lines alone; the publication report goes to
  // standard error, one line per target.
  for (const EnrollOutcome* run : {&userRun, &machineRun}) {
    for (const std::string& line : run->lines) {
      EXPECT_TRUE(line.rfind("status: ", 0) == 0 || line.rfind("detail: ", 0) == 0) << line;
    }
  }
  const std::string identity = user.userData + "/digital-id/identity";
  EXPECT_NE(userRun.errors.find("published: identity files for "), std::string::npos)
      << userRun.errors;
  EXPECT_NE(userRun.errors.find(identity + "/identity.crt\n"), std::string::npos) << userRun.errors;
  EXPECT_NE(
      userRun.errors.find("published: shared NSS database " + user.userData + "/.pki/nssdb: "),
      std::string::npos)
      << userRun.errors;
  EXPECT_NE(machineRun.errors.find("published: system trust for Example Root CA (machine Root)"),
            std::string::npos)
      << machineRun.errors;

  // curl with the published PEM files and with a PKCS #12 export reaches the endpoint, which
  // sees the enrolled subject; without a certificate it is refused.
  const std::vector<std::string> issued = FilesWithExtension(user.Store("My"), ".der");
  ASSERT_EQ(issued.size(), 1u);
  const std::string subject =
      Rfc2253Subject(ReadDerCertificate(user.Store("My") + "/" + issued[0]));
  const std::string url = "https://127.0.0.1:" + std::to_string(server->ClientAuthPort()) + "/";
  const std::string curl =
      "curl -sS --cacert " + folder.Path() + "/server/data/root.cert.pem " + url;
  const auto [pemStatus, pemBody] = RunCommand(
      curl + " --cert " + identity + "/identity.crt --key " + identity + "/identity.key 2>&1");
  EXPECT_EQ(pemStatus, 0) << pemBody;
  EXPECT_EQ(pemBody, "subject: " + subject + "\n");
  // digital-id-enroll --export-pkcs12 refuses an empty passphrase, finds no identity in the
  // machine stores of the user's site, and exports the user's with a passphrase.
  const std::string p12 = folder.Path() + "/user/identity.p12";
  const EnrollOutcome emptyPassphrase = Enroll(user, "", {"--export-pkcs12", p12});
  EXPECT_EQ(emptyPassphrase.exitCode, 2);
  EXPECT_NE(emptyPassphrase.errors.find("the passphrase is empty"), std::string::npos)
      << emptyPassphrase.errors;
  const EnrollOutcome noIdentity =
      Enroll(user, "export-pass", {"--machine", "--export-pkcs12", p12});
  EXPECT_EQ(noIdentity.exitCode, 1);
  EXPECT_EQ(noIdentity.errors, "digital-id-enroll: nothing exported to " + p12 +
                                   ": no issued certificate with its key in the store\n");
  EXPECT_FALSE(std::filesystem::exists(p12));
  const EnrollOutcome exported = Enroll(user, "export-pass", {"--export-pkcs12", p12});
  ASSERT_EQ(exported.exitCode, 0) << exported.errors;
  EXPECT_TRUE(exported.lines.empty()) << Joined(exported.lines);
  EXPECT_EQ(backend_tests::ModeOf(p12), 0600);
  const auto [p12Status, p12Body] =
      RunCommand(curl + " --cert-type P12 --cert " + p12 + ":export-pass 2>&1");
  EXPECT_EQ(p12Status, 0) << p12Body;
  EXPECT_EQ(p12Body, "subject: " + subject + "\n");
  EXPECT_NE(RunCommand(curl + " 2>&1").first, 0);
  EXPECT_TRUE(HasEvent("client-auth " + subject)) << EventText();
  EXPECT_TRUE(HasEvent("client-auth refused")) << EventText();

  // The user's NSS database holds the identity with its key and the root trusted for servers.
  const std::string database = " -d sql:" + user.userData + "/.pki/nssdb 2>&1";
  const auto [listStatus, listing] = RunCommand("certutil -L" + database);
  EXPECT_EQ(listStatus, 0) << listing;
  EXPECT_NE(listing.find("Example Root CA                                              C,,"),
            std::string::npos)
      << listing;
  const auto [keysStatus, keys] = RunCommand("certutil -K" + database);
  EXPECT_EQ(keysStatus, 0) << keys;
  const std::string nickname =
      SubjectCommonName(ReadDerCertificate(user.Store("My") + "/" + issued[0]));
  EXPECT_NE(keys.find(nickname), std::string::npos) << keys;
  EXPECT_NE(listing.find(nickname), std::string::npos) << listing;

  // The machine's anchors went to the system trust folder: a TLS client that trusts that folder
  // alone accepts the issuing server, and one that trusts an empty folder does not.
  const std::string client =
      "openssl s_client -connect 127.0.0.1:" + std::to_string(server->TlsPort()) +
      " -no-CAfile -no-CAstore -verify_return_error -verify_ip 127.0.0.1 "
      "-brief </dev/null 2>&1 -CApath ";
  const auto [trustedStatus, trusted] = RunCommand(client + trust);
  EXPECT_EQ(trustedStatus, 0) << trusted;
  EXPECT_NE(trusted.find("Verification: OK"), std::string::npos) << trusted;
  std::filesystem::create_directories(folder.Path() + "/empty");
  EXPECT_NE(RunCommand(client + folder.Path() + "/empty").first, 0);
  EXPECT_EQ(backend_tests::ModeOf(folder.Path() + "/machine/identity/identity.key"), 0600);
}

TEST_F(EndToEndPublicationTest, AMachineRunGivesTrustOnlyToTheRootOfAnIssuedIdentity) {
  const ClientSite machine = NewSite("machine");
  const std::string trust = folder.Path() + "/machine/trust";
  const std::string marker = folder.Path() + "/machine/updated";
  const std::vector<std::pair<std::string, std::string>> environment = {
      {"DIGITAL_ID_TRUST_COMMAND", ""},
      {"DIGITAL_ID_SYSTEM_TRUST_DIR", trust},
      {"DIGITAL_ID_UPDATE_CA_COMMAND", "/usr/bin/touch " + marker}};
  const auto startServer = [&](std::vector<std::string> arguments) {
    server.reset();
    arguments.insert(arguments.end(), {"--code", "MACHINE-1", "--code", "MACHINE-2",
                                       "--advance-mode", "--verdict-delay-ms", "0"});
    std::error_code error;
    return StartServer(arguments) &&
           std::filesystem::copy_file(folder.Path() + "/server/app.ini", machine.Settings(),
                                      std::filesystem::copy_options::overwrite_existing, error);
  };
  // The root downloaded over plain HTTP is not the one the server's chain ends in: it reaches
  // the program's Root store, the handshake refuses the server, and nothing else trusts it.
  ASSERT_TRUE(startServer({"--fault", "expired-root", "--no-pins"}));
  const EnrollOutcome refused = Enroll(machine, "MACHINE-1", {"--machine"}, environment);
  EXPECT_EQ(refused.exitCode, 1) << refused.errors << Joined(refused.lines);
  ASSERT_FALSE(refused.lines.empty());
  EXPECT_EQ(refused.lines.front().rfind("status: ", 0), 0u);
  EXPECT_NE(Joined(refused.lines).find("status: Certificate authentication failed."),
            std::string::npos)
      << Joined(refused.lines);
  EXPECT_EQ(FilesWithExtension(machine.Store("Root", true), ".der").size(), 1u);
  EXPECT_TRUE(FilesWithExtension(trust).empty());
  EXPECT_FALSE(std::filesystem::exists(marker));
  EXPECT_EQ(refused.errors.find("system trust"), std::string::npos) << refused.errors;

  // An issued identity whose chain and server share the root: that root alone, once.
  ASSERT_TRUE(startServer({}));
  for (const char* code : {"MACHINE-1", "MACHINE-2"}) {
    const EnrollOutcome issued = Enroll(machine, code, {"--machine"}, environment);
    ASSERT_EQ(issued.exitCode, 0) << issued.errors << Joined(issued.lines);
    EXPECT_NE(issued.errors.find("published: system trust for Example Root CA (machine Root)"),
              std::string::npos)
        << issued.errors;
    const std::vector<std::string> files = FilesWithExtension(trust);
    ASSERT_EQ(files.size(), 1u) << issued.errors;
    EXPECT_EQ(files[0].rfind("digital-id-example-root-ca-", 0), 0u) << files[0];
  }
  EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST_F(EndToEndPublicationTest, StatusShowsTheIdentitiesAndRemoveTakesOneAwayByItsSerial) {
  ASSERT_TRUE(StartServer(
      {"--code", "USER-1", "--code", "USER-2", "--advance-mode", "--verdict-delay-ms", "0"}));
  const ClientSite user = NewSite("user");
  for (const char* code : {"USER-1", "USER-2"}) {
    const EnrollOutcome run = Enroll(user, code);
    ASSERT_EQ(run.exitCode, 0) << run.errors << Joined(run.lines);
  }
  const std::vector<std::string> entries = FilesWithExtension(user.Store("My"), ".der");
  ASSERT_EQ(entries.size(), 2u);
  std::vector<std::string> serials;
  std::vector<std::string> subjects;
  for (const std::string& entry : entries) {
    const CertPtr certificate = ReadDerCertificate(user.Store("My") + "/" + entry);
    ASSERT_TRUE(certificate);
    subjects.push_back(Rfc2253Subject(certificate));
    const BIGNUM* number = ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate.get()), nullptr);
    char* hex = BN_bn2hex(number);
    serials.emplace_back(hex);
    OPENSSL_free(hex);
    BN_free(const_cast<BIGNUM*>(number));
  }
  const std::string identity = user.userData + "/digital-id/identity";
  const std::string database = user.userData + "/.pki/nssdb";
  const std::vector<std::pair<std::string, std::string>> english = {{"LC_ALL", "C"}};
  const std::vector<std::pair<std::string, std::string>> french = {
      {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "fr_FR.UTF-8"}};

  // Both identities, oldest first, each with its key, its files and the database.
  const EnrollOutcome status = Enroll(user, "", {"--status"}, english);
  EXPECT_EQ(status.exitCode, 0) << status.errors;
  const std::string text = Joined(status.lines);
  for (const std::string& expected : std::vector<std::string>{
           "Digital ID 1 of 2 (user)\n  Subject:       " + subjects[0] + "\n",
           "Digital ID 2 of 2 (user)\n", "  Serial number: " + serials[0] + "\n",
           "  Serial number: " + serials[1] + "\n", "  Private key:   present\n",
           "  PEM file:      " + identity + "/identity.crt\n",
           "  NSS database:  " + database + "\n", " UTC\n  Days left:     "}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  EXPECT_LT(text.find(serials[0]), text.find(serials[1])) << text;
  const EnrollOutcome statut = Enroll(user, "", {"--status"}, french);
  EXPECT_EQ(statut.exitCode, 0);
  EXPECT_NE(Joined(statut.lines).find("Identité numérique 2 sur 2 (utilisateur)\n  Sujet :"),
            std::string::npos)
      << Joined(statut.lines);
  EXPECT_NE(Joined(statut.lines).find("  Clé privée :      présente\n"), std::string::npos);
  const EnrollOutcome json = Enroll(user, "", {"--status", "--json"}, french);
  EXPECT_EQ(json.exitCode, 0) << json.errors;
  const std::string document = folder.Path() + "/status.json";
  ASSERT_TRUE(backend_tests::WriteFile(document, Joined(json.lines)));
  const auto [parsed, fields] = RunCommand(
      "python3 -c 'import json,sys; d=json.load(open(sys.argv[1]))[\"identities\"]; "
      "print(*[(i[\"context\"], i[\"serial\"], i[\"current\"], i[\"hasPrivateKey\"], "
      "type(i[\"daysLeft\"]).__name__, i[\"nssDatabases\"]) for i in d], sep=\"\\n\")' " +
      document + " 2>&1");
  EXPECT_EQ(parsed, 0) << fields;
  for (const std::string& serial : serials) {
    EXPECT_NE(fields.find("('user', '" + serial + "', True, True, 'int', ['" + database + "'])\n"),
              std::string::npos)
        << fields;
  }

  // Usage errors, and a serial that nothing holds.
  EXPECT_EQ(Enroll(user, "", {"--remove"}).exitCode, 2);
  EXPECT_EQ(Enroll(user, "", {"--remove", "not-hex"}).exitCode, 2);
  const EnrollOutcome unknown = Enroll(user, "", {"--remove", "0BAD"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_EQ(unknown.errors,
            "digital-id-enroll: no identity with serial number 0BAD in the user's store\n");

  // The newest goes, typed with colons and in lower case: from My with its key, its folder, and
  // the database; "current" names the older one, and the anchors stay.
  std::string typed;
  for (std::size_t i = 0; i < serials[1].size(); i += 2) {
    typed += (i == 0 ? "" : ":") + serials[1].substr(i, 2);
  }
  std::transform(typed.begin(), typed.end(), typed.begin(), ::tolower);
  const EnrollOutcome removed = Enroll(user, "", {"--remove", typed});
  EXPECT_EQ(removed.exitCode, 0) << removed.errors;
  EXPECT_TRUE(removed.lines.empty()) << Joined(removed.lines);
  const std::string stem0 = entries[0].substr(0, entries[0].size() - 4);
  const std::string stem1 = entries[1].substr(0, entries[1].size() - 4);
  EXPECT_NE(removed.errors.find("removed: "), std::string::npos) << removed.errors;
  EXPECT_NE(removed.errors.find(") from My: " + user.Store("My") + "/" + stem1 + "\n"),
            std::string::npos)
      << removed.errors;
  EXPECT_NE(removed.errors.find("current names " + stem0 + "\n"), std::string::npos)
      << removed.errors;
  EXPECT_NE(
      removed.errors.find(") from shared NSS database " + database + ": identity with its key\n"),
      std::string::npos)
      << removed.errors;
  EXPECT_EQ(FilesWithExtension(user.Store("My")),
            (std::vector<std::string>{stem0 + ".der", stem0 + ".key"}));
  EXPECT_EQ(std::filesystem::read_symlink(identity + "/current").string(), stem0);
  EXPECT_FALSE(std::filesystem::exists(identity + "/" + stem1));
  const std::string nickname =
      SubjectCommonName(ReadDerCertificate(user.Store("My") + "/" + entries[0]));
  const auto [listStatus, listing] = RunCommand("certutil -L -d sql:" + database + " 2>&1");
  EXPECT_EQ(listStatus, 0) << listing;
  EXPECT_NE(listing.find("Example Root CA                                              C,,"),
            std::string::npos)
      << listing;
  EXPECT_NE(listing.find("Example Issuing CA"), std::string::npos) << listing;
  const auto [keysStatus, keys] = RunCommand("certutil -K -d sql:" + database + " 2>&1");
  EXPECT_EQ(keys.find(nickname), keys.rfind(nickname)) << keys;  // one key, the older one's
  EXPECT_NE(keys.find(nickname), std::string::npos) << keys;
  const auto [serialStatus, left] = RunCommand(
      "certutil -L -n '" + nickname + "' -d sql:" + database + " -a | openssl x509 -noout -serial");
  EXPECT_EQ(left, "serial=" + serials[0] + "\n");
  EXPECT_NE(backend_tests::ReadFile(user.userData + "/digital-id/publish.log").find("removed: "),
            std::string::npos);

  // The last one goes too: then "current" goes, and the status has nothing current.
  EXPECT_EQ(Enroll(user, "", {"--remove", serials[0]}).exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(identity + "/current"));
  EXPECT_FALSE(std::filesystem::is_symlink(identity + "/identity.crt"));
  const EnrollOutcome empty = Enroll(user, "", {"--status"}, english);
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(Joined(empty.lines), "No digital ID in the user's store\n");
}

}  // namespace
}  // namespace digital_id::end_to_end
