// Security of the enrollment end to end: servers that speak another TLS version or present a
// certificate that must not be trusted are refused before any request leaves; private keys and
// the folders that hold them are closed to other users; the secure code is never written down;
// another user's lock on a machine store stops a run instead of stalling it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/linux/system/file_descriptor.h"
#include "tests/e2e/fault_case_support.h"

namespace digital_id::end_to_end {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kHandshakeFailure = {"status: Certificate authentication failed.",
                                                    "detail: Bad server certificate encountered."};
const std::vector<std::string> kValidationFailure = {
    "status: Validating server credentials.", "detail: Unable to validate the server credentials."};
const std::vector<std::string> kInstalled = {
    "status: Certificate was issued.",
    "detail: Certificate installation completed. Click Close to exit."};

// True when an OpenSSL client limited to exactly version (at security level 0, which the old
// versions need) completes a handshake with the server on port; nothing is verified.
bool HandshakeWithVersion(std::uint16_t port, int version) {
  const int fd = test_server_tests::ConnectLoopback(port);
  if (fd < 0) return false;
  test_server_tests::SslCtxPtr context(SSL_CTX_new(TLS_client_method()));
  test_server_tests::SslPtr ssl(context ? SSL_new(context.get()) : nullptr);
  bool done = false;
  if (ssl) {
    SSL_set_security_level(ssl.get(), 0);
    SSL_set_cipher_list(ssl.get(), "DEFAULT:@SECLEVEL=0");
    done = SSL_set_min_proto_version(ssl.get(), version) == 1 &&
           SSL_set_max_proto_version(ssl.get(), version) == 1 && SSL_set_fd(ssl.get(), fd) == 1 &&
           SSL_connect(ssl.get()) == 1 && SSL_version(ssl.get()) == version;
  }
  ::close(fd);
  return done;
}

// A case that only has to reach the handshake.
FaultCase ServerCase(const std::string& name, std::vector<std::string> arguments) {
  FaultCase made;
  made.name = name;
  made.serverArguments = std::move(arguments);
  made.serverArguments.insert(made.serverArguments.end(), {"--code", "TRUST-1"});
  made.code = "TRUST-1";
  return made;
}

class SecurityTest : public EndToEndTest {};

TEST_F(SecurityTest, OtherTlsVersionsAndUntrustworthyServerCertificatesAreRefused) {
  std::vector<FaultCase> cases;
  cases.push_back(ServerCase("tls-1.0", {"--tls-version", "1.0"}));
  cases.push_back(ServerCase("tls-1.1", {"--tls-version", "1.1"}));
  cases.push_back(ServerCase("tls-1.3", {"--tls-version", "1.3"}));
  cases.push_back(ServerCase("expired", {"--expired-server"}));
  cases.push_back(ServerCase("not-yet-valid", {"--not-yet-valid-server"}));
  cases.push_back(ServerCase("wrong-name", {"--wrong-name-server"}));
  cases.push_back(ServerCase("self-signed", {"--untrusted-server"}));
  cases.push_back(ServerCase("other-intermediate", {"--other-intermediate"}));
  RunFaultCases(folder.Path(), cases);

  // The servers of the version cases really speak (only) that version.
  const std::vector<std::pair<std::string, int>> versions = {
      {"tls-1.0", TLS1_VERSION}, {"tls-1.1", TLS1_1_VERSION}, {"tls-1.3", TLS1_3_VERSION}};
  for (const auto& [name, version] : versions) {
    const FaultCase& fault = CaseNamed(cases, name);
    ASSERT_TRUE(fault.prepared) << name;
    EXPECT_TRUE(HandshakeWithVersion(fault.server->TlsPort(), version)) << name;
    EXPECT_FALSE(HandshakeWithVersion(fault.server->TlsPort(), TLS1_2_VERSION)) << name;
  }
  for (const FaultCase& fault : cases) {
    SCOPED_TRACE(fault.name);
    ASSERT_TRUE(fault.prepared);
    EXPECT_EQ(fault.outcome.exitCode, 1) << fault.outcome.errors;
    // A chain from the other intermediate verifies (same root); its issuer is not CAIssuer.
    EXPECT_EQ(LastTwo(fault.outcome.lines),
              fault.name == "other-intermediate" ? kValidationFailure : kHandshakeFailure)
        << Joined(fault.outcome.lines);
    if (fault.name != "other-intermediate") {
      EXPECT_TRUE(fault.server->WaitForEvent("handshake-failed")) << Joined(fault.server->Events());
    }
    // Refused before a key was made or a request sent.
    const std::vector<std::string> events = fault.server->Events();
    EXPECT_EQ(std::find(events.begin(), events.end(), "request TRUST-1"), events.end());
    const StoreAudit audit = AuditStores(fault.site);
    EXPECT_EQ(audit.installed, 0) << Describe(audit);
    EXPECT_EQ(audit.pendingKeys, 0) << Describe(audit);
    EXPECT_TRUE(audit.strayFiles.empty()) << Describe(audit);
  }
}

// Every regular file below folder whose content holds needle.
std::vector<std::string> FilesHolding(const std::string& folder, const std::string& needle) {
  std::vector<std::string> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, error)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (text.str().find(needle) != std::string::npos) found.push_back(entry.path().string());
  }
  return found;
}

// The permission bits of a path; 07777 when it does not exist.
unsigned ModeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 07777;
}

TEST_F(SecurityTest, KeysAndTheirFoldersAreClosedToOthersAndTheCodeIsNeverWrittenDown) {
  // In each location one run that installs a certificate and one that leaves a pending key.
  std::vector<FaultCase> cases;
  const auto add = [&cases](const std::string& name, const std::string& option,
                            const std::string& code, bool machine) {
    FaultCase made;
    made.name = name;
    made.serverArguments = {"--advance-mode", option, code};
    made.code = code;
    if (machine) made.enrollArguments = {"--machine"};
    cases.push_back(std::move(made));
  };
  add("user-issued", "--code", "QZ7-USER-ISSUE-5K2", false);
  add("user-denied", "--deny-code", "QZ7-USER-DENY-8M4", false);
  add("machine-issued", "--code", "QZ7-MACHINE-ISSUE-3T9", true);
  add("machine-denied", "--deny-code", "QZ7-MACHINE-DENY-6W1", true);
  RunFaultCases(folder.Path(), cases);

  for (const FaultCase& fault : cases) {
    SCOPED_TRACE(fault.name);
    ASSERT_TRUE(fault.prepared);
    const bool machine = !fault.enrollArguments.empty();
    const bool issued = fault.name.find("issued") != std::string::npos;
    EXPECT_EQ(fault.outcome.exitCode, issued ? 0 : 1) << Joined(fault.outcome.lines);
    if (issued) {
      EXPECT_EQ(LastTwo(fault.outcome.lines), kInstalled);
    }
    const StoreAudit audit = AuditStores(fault.site, machine);
    EXPECT_EQ(audit.installed, issued ? 1 : 0) << Describe(audit);
    EXPECT_EQ(audit.pendingKeys, issued ? 0 : 1) << Describe(audit);

    // The folders that hold keys are their owner's alone; each key file is 0600.
    const std::string keyStore = fault.site.Store(issued ? "My" : "REQUEST", machine);
    EXPECT_EQ(ModeOf(keyStore) & 0077, 0u) << keyStore;
    const std::vector<std::string> keys = FilesWithExtension(keyStore, ".key");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(ModeOf(keyStore + "/" + keys[0]), 0600u);
    // Anchor folders stay readable by everyone in the machine location.
    if (machine) {
      EXPECT_EQ(ModeOf(fault.site.Store("Root", true)) & 0005, 0005u);
    }

    // The code appears in no file of the site: settings, stores, working folder; in neither
    // 8-bit nor UTF-16 form.
    const std::string site = fs::path(fault.site.work).parent_path().string();
    std::string wide;
    for (const char c : fault.code) wide += std::string{c, '\0'};
    for (const std::string& folder :
         {fault.site.work, fault.site.userData, fault.site.machineStores}) {
      EXPECT_TRUE(FilesHolding(folder, fault.code).empty()) << folder;
      EXPECT_TRUE(FilesHolding(folder, wide).empty()) << folder;
    }
    // The check can see the code where it is: the server's events name it.
    EXPECT_FALSE(FilesHolding(site + "/server", fault.code).empty());
  }
}

TEST_F(SecurityTest, PrivilegedRunsIgnoreWhatOtherUsersCanChange) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, as CI runs";
  ASSERT_TRUE(
      StartServer({"--code", "ROOT-1", "--code", "ROOT-2", "--code", "ROOT-3", "--code", "ROOT-4",
                   "--code", "ROOT-5", "--advance-mode", "--verdict-delay-ms", "0"}));
  const ClientSite site = NewSite("root");
  // A folder every user may write to, holding a command and a place that root would use.
  const std::string open = folder.Path() + "/open";
  const std::string marker = folder.Path() + "/ran";
  ASSERT_TRUE(fs::create_directories(open));
  fs::permissions(open, fs::perms::all);
  {
    std::ofstream script(open + "/update");
    script << "#!/bin/sh\ntouch " << marker << "\n";
  }
  fs::permissions(open + "/update", fs::perms(0755));

  // Commands and folders in it are refused, with no fallback, and nothing runs.
  const EnrollOutcome commands = Enroll(site, "ROOT-1", {"--machine"},
                                        {{"DIGITAL_ID_TRUST_COMMAND", open + "/update"},
                                         {"DIGITAL_ID_SYSTEM_TRUST_DIR", folder.Path() + "/trust"},
                                         {"DIGITAL_ID_UPDATE_CA_COMMAND", open + "/update"}});
  EXPECT_EQ(commands.exitCode, 0) << commands.errors << Joined(commands.lines);
  EXPECT_NE(commands.errors.find("failed: system trust for Example Root CA (machine Root): "
                                 "DIGITAL_ID_UPDATE_CA_COMMAND: " +
                                 open + " is writable by other users (unsafe override)"),
            std::string::npos)
      << commands.errors;
  const EnrollOutcome trustFolder = Enroll(site, "ROOT-2", {"--machine"},
                                           {{"DIGITAL_ID_TRUST_COMMAND", ""},
                                            {"DIGITAL_ID_SYSTEM_TRUST_DIR", open + "/trust"},
                                            {"DIGITAL_ID_UPDATE_CA_COMMAND", ""}});
  EXPECT_EQ(trustFolder.exitCode, 0) << trustFolder.errors;
  EXPECT_NE(trustFolder.errors.find("(unsafe override)"), std::string::npos) << trustFolder.errors;
  const bool realStoresExisted = fs::exists("/var/lib/digital-id");
  const EnrollOutcome stores =
      Enroll(site, "ROOT-3", {"--machine"}, {{"DIGITAL_ID_MACHINE_STORES", open + "/machine"}});
  EXPECT_EQ(stores.exitCode, 1) << Joined(stores.lines);
  EXPECT_NE(stores.errors.find("DIGITAL_ID_MACHINE_STORES ignored: " + open +
                               " is writable by other users (unsafe override)"),
            std::string::npos)
      << stores.errors;
  EXPECT_EQ(fs::exists("/var/lib/digital-id"), realStoresExisted);
  EXPECT_FALSE(fs::exists(marker));
  EXPECT_FALSE(fs::exists(folder.Path() + "/trust"));
  EXPECT_EQ(std::distance(fs::directory_iterator(open), fs::directory_iterator()), 1);

  // The caller's library settings are dropped: an OpenSSL configuration that would allow
  // nothing below TLS 1.3 and proxies that lead nowhere leave the run as it was.
  {
    std::ofstream config(open + "/openssl.cnf");
    config << "openssl_conf = init\n[init]\nssl_conf = ssl\n[ssl]\nsystem_default = tls\n"
              "[tls]\nMinProtocol = TLSv1.3\n";
  }
  const std::string deadProxy = "http://127.0.0.1:9";
  const EnrollOutcome libraries =
      Enroll(site, "ROOT-5", {"--machine"},
             {{"OPENSSL_CONF", open + "/openssl.cnf"},
              {"http_proxy", deadProxy},
              {"HTTPS_PROXY", deadProxy},
              {"ALL_PROXY", deadProxy},
              {"DIGITAL_ID_TRUST_COMMAND", ""},
              {"DIGITAL_ID_SYSTEM_TRUST_DIR", folder.Path() + "/trust-5"},
              {"DIGITAL_ID_UPDATE_CA_COMMAND", ""}});
  EXPECT_EQ(libraries.exitCode, 0) << libraries.errors << Joined(libraries.lines);
  fs::remove(open + "/openssl.cnf");

  // A settings file that others may write reads as missing: --machine is then a usage error.
  fs::permissions(site.Settings(), fs::perms(0666));
  const EnrollOutcome settings = Enroll(site, "ROOT-4", {"--machine"});
  EXPECT_EQ(settings.exitCode, 2) << Joined(settings.lines);
  EXPECT_NE(settings.errors.find("settings file " + site.Settings() +
                                 " ignored: " + site.Settings() + " is writable by other users"),
            std::string::npos)
      << settings.errors;
  EXPECT_FALSE(HasEvent("request ROOT-4")) << EventText();
  fs::permissions(site.Settings(), fs::perms(0644));

  // A user's home kept by sudo -E: nothing is written below it.
  const std::string home = folder.Path() + "/someone";
  ASSERT_TRUE(fs::create_directories(home));
  ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
  const EnrollOutcome user = Enroll(site, "ROOT-4", {}, {{"HOME", home}, {"XDG_DATA_HOME", ""}});
  EXPECT_EQ(user.exitCode, 1) << Joined(user.lines);
  EXPECT_NE(user.errors.find(home + " does not belong to root"), std::string::npos) << user.errors;
  EXPECT_TRUE(fs::is_empty(home));
}

TEST_F(SecurityTest, ALockHeldOnTheMachineRootFolderEndsAMachineRunInsteadOfStallingIt) {
  ASSERT_TRUE(StartServer({"--advance-mode", "--code", "LOCK-1"}));
  const ClientSite site = NewSite("client");
  // The machine's Root folder is readable by everyone, so any local user can open and flock it,
  // as this test does; the lock is held until the run has ended.
  const std::string root = site.Store("Root", true);
  fs::create_directories(root);
  const FileDescriptor held(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(held.Valid());
  ASSERT_EQ(::flock(held.Get(), LOCK_EX | LOCK_NB), 0);

  // A run that waited for the lock for good would be killed by the runner (exit code -1).
  const EnrollOutcome outcome = Enroll(site, "LOCK-1", {"--machine"});
  EXPECT_EQ(outcome.exitCode, 1) << outcome.errors;
  EXPECT_EQ(LastTwo(outcome.lines),
            (std::vector<std::string>{"status: Checking Root certificate.",
                                      "detail: Unable to find or install Root certificate. Please "
                                      "ensure you have Administrator permissions."}))
      << Joined(outcome.lines);
  EXPECT_FALSE(HasEvent("request LOCK-1")) << EventText();
  EXPECT_TRUE(FilesWithExtension(root).empty());
}

}  // namespace
}  // namespace digital_id::end_to_end
