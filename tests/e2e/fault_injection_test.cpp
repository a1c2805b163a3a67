// Fault injection: digital-id-enroll against test issuing servers that cut, join, delay or drop
// their answers, answer without TLS, or serve broken anchors. Each case checks the texts, the
// exit code and the stores; afterwards nothing is lost: no half-written file in any store, a
// certificate that reached the client is installed, a pending key of a failed run waits in
// REQUEST alone, and the same site enrolls with a new code from a well-behaved server.
// The cases of a test run side by side (each run that reaches the verdict pauses 5 s).

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <filesystem>
#include <future>

#include "tests/e2e/fault_case_support.h"

namespace digital_id::end_to_end {
namespace {

const std::vector<std::string> kInstalled = {
    "status: Certificate was issued.",
    "detail: Certificate installation completed. Click Close to exit."};
const std::vector<std::string> kConnectionError = {
    "status: Connection error.", "detail: An error occurred while connected to the server."};
const std::vector<std::string> kDenied = {
    "status: Request denied.",
    "detail: Certificate was not issued. Ensure secure code was copied and pasted properly and "
    "has not been used before."};
const std::vector<std::string> kInstallationFailed = {
    "status: Certificate installation failed.", "detail: Please try again with a new secure code."};
const std::vector<std::string> kHandshakeFailure = {"status: Certificate authentication failed.",
                                                    "detail: Bad server certificate encountered."};
const std::vector<std::string> kCaDownloadFailed = {"status: CA certificate downloading.",
                                                    "detail: CA certificate download failed."};
const std::vector<std::string> kRootDownloadFailed = {"status: Root certificate downloading.",
                                                      "detail: Root certificate download failed."};

// What one case must end with.
struct Expected {
  std::string name;
  int exitCode;
  std::vector<std::string> lastTwo;
  int installed;    // certificates in My
  int pendingKeys;  // keys left in REQUEST
};

// A case whose server has the fault (and a one-time code), with short receive time-outs.
FaultCase ExchangeCase(const std::string& name, const std::string& fault) {
  const std::string code = "FAULT-" + std::to_string(std::hash<std::string>{}(name) % 100000);
  FaultCase made;
  made.name = name;
  made.serverArguments = {"--fault", fault, "--code", code};
  made.code = code;
  made.settings = {{"SendReceiveTimeout", "1500"}};
  return made;
}

class FaultInjectionTest : public EndToEndTest {
 protected:
  // Checks each case against its expectation and that nothing was lost on its site.
  void CheckCases(const std::vector<FaultCase>& cases, const std::vector<Expected>& expected) {
    for (const Expected& want : expected) {
      const FaultCase& fault = CaseNamed(cases, want.name);
      SCOPED_TRACE(want.name);
      ASSERT_EQ(fault.name, want.name);
      ASSERT_TRUE(fault.prepared);
      EXPECT_EQ(fault.outcome.exitCode, want.exitCode) << fault.outcome.errors;
      EXPECT_EQ(LastTwo(fault.outcome.lines), want.lastTwo) << Joined(fault.outcome.lines);
      const StoreAudit audit = AuditStores(fault.site);
      EXPECT_TRUE(audit.strayFiles.empty()) << Describe(audit);
      EXPECT_EQ(audit.installed, want.installed) << Describe(audit);
      EXPECT_EQ(audit.pendingKeys, want.pendingKeys) << Describe(audit);
      EXPECT_FALSE(audit.pendingKeyElsewhere) << Describe(audit);
    }
  }

  // Enrolls every site that ended without a certificate again, with a new code from a
  // well-behaved server; each must succeed and keep its stores whole.
  void RerunFailedSites(const std::vector<FaultCase>& cases) {
    std::vector<const FaultCase*> failed;
    std::vector<std::string> arguments;
    for (const FaultCase& fault : cases) {
      if (fault.outcome.exitCode == 0) continue;
      failed.push_back(&fault);
      arguments.insert(arguments.end(), {"--code", "AGAIN-" + std::to_string(failed.size())});
    }
    if (failed.empty()) return;
    ASSERT_TRUE(StartServer(arguments));
    std::vector<std::future<EnrollOutcome>> runs;
    for (std::size_t i = 0; i < failed.size(); ++i) {
      ClientSite site = failed[i]->site;
      std::filesystem::copy_file(folder.Path() + "/server/app.ini", site.Settings(),
                                 std::filesystem::copy_options::overwrite_existing);
      const std::string code = "AGAIN-" + std::to_string(i + 1);
      runs.push_back(
          std::async(std::launch::async, [this, site, code] { return Enroll(site, code); }));
    }
    for (std::size_t i = 0; i < failed.size(); ++i) {
      SCOPED_TRACE("again: " + failed[i]->name);
      const EnrollOutcome again = runs[i].get();
      EXPECT_EQ(again.exitCode, 0) << Joined(again.lines);
      EXPECT_EQ(LastTwo(again.lines), kInstalled) << Joined(again.lines);
      const StoreAudit audit = AuditStores(failed[i]->site);
      EXPECT_TRUE(audit.strayFiles.empty()) << Describe(audit);
      EXPECT_EQ(audit.installed, 1) << Describe(audit);
      EXPECT_FALSE(audit.pendingKeyElsewhere) << Describe(audit);
    }
  }
};

TEST_F(FaultInjectionTest, AnswersCutOrJoinedOnTheWireAreReadWholeOneRecordPerMessage) {
  std::vector<FaultCase> cases;
  cases.push_back(ExchangeCase("split-segments", "split-segments"));
  cases.push_back(ExchangeCase("split-records-ack", "split-records=ack"));
  cases.push_back(ExchangeCase("split-records-verdict", "split-records=verdict"));
  cases.push_back(ExchangeCase("coalesce", "coalesce"));
  cases.push_back(ExchangeCase("large-verdict", "large-verdict"));
  cases.push_back(ExchangeCase("no-cltack", "no-cltack"));
  cases.push_back(ExchangeCase("not-tls", "not-tls"));
  RunFaultCases(folder.Path(), cases);

  CheckCases(cases, {
                        // A record that arrives in pieces is completed by further reads.
                        {"split-segments", 0, kInstalled, 1, 0},
                        // Only the first record of an answer counts: "SRVA" is no answer.
                        {"split-records-ack", 1, kConnectionError, 0, 1},
                        // The first half of the verdict holds "ISSUED;" but not the whole
                        // response: the installation fails and the key keeps waiting.
                        {"split-records-verdict", 1, kInstallationFailed, 0, 1},
                        // The verdict behind the acknowledgement is kept for the next receive.
                        {"coalesce", 0, kInstalled, 1, 0},
                        // A verdict longer than one record is cut like a split one.
                        {"large-verdict", 1, kInstallationFailed, 0, 1},
                        {"no-cltack", 0, kInstalled, 1, 0},
                        {"not-tls", 1, kHandshakeFailure, 0, 0},
                    });
  const FaultCase& segments = CaseNamed(cases, "split-segments");
  EXPECT_TRUE(segments.server->WaitForEvent("cltack " + segments.code))
      << Joined(segments.server->Events());
  const FaultCase& skipped = CaseNamed(cases, "no-cltack");
  EXPECT_TRUE(skipped.server->WaitForEvent("cltack-skipped " + skipped.code));
  const FaultCase& plain = CaseNamed(cases, "not-tls");
  EXPECT_TRUE(plain.server->WaitForEvent("not-tls"));
  RerunFailedSites(cases);
}

TEST_F(FaultInjectionTest, StallsAndClosedConnectionsAtEveryStepEndTheRunAndLoseNothing) {
  std::vector<FaultCase> cases;
  for (const char* step : {"ack", "verdict", "cltack"}) {
    cases.push_back(ExchangeCase(std::string("stall-") + step, std::string("stall=") + step));
  }
  for (const char* step : {"handshake", "request", "ack", "verdict"}) {
    cases.push_back(ExchangeCase(std::string("close-") + step, std::string("close=") + step));
  }
  RunFaultCases(folder.Path(), cases);

  CheckCases(cases, {
                        // The receive times out after SendReceiveTimeout.
                        {"stall-ack", 1, kConnectionError, 0, 1},
                        {"stall-verdict", 1, kDenied, 0, 1},
                        // The client does not wait for anything after its "CLTACK;".
                        {"stall-cltack", 0, kInstalled, 1, 0},
                        {"close-handshake", 1, kConnectionError, 0, 1},
                        {"close-request", 1, kConnectionError, 0, 1},
                        {"close-ack", 1, kDenied, 0, 1},
                        {"close-verdict", 1, kDenied, 0, 1},
                    });
  for (const char* step : {"ack", "verdict", "cltack"}) {
    const FaultCase& stalled = CaseNamed(cases, std::string("stall-") + step);
    EXPECT_TRUE(stalled.server->WaitForEvent("stalled " + stalled.code + " " + step));
  }
  for (const char* step : {"handshake", "request", "ack", "verdict"}) {
    const FaultCase& dropped = CaseNamed(cases, std::string("close-") + step);
    const std::string code = std::string(step) == "handshake" ? "-" : dropped.code;
    EXPECT_TRUE(dropped.server->WaitForEvent("dropped " + code + " " + step))
        << Joined(dropped.server->Events());
  }
  RerunFailedSites(cases);
}

TEST_F(FaultInjectionTest, SlowStalledHugeAndOutdatedAnchorDownloads) {
  std::vector<FaultCase> cases;
  // The outdated copies differ from the demo PKI's anchors that the pins name: those cases run
  // unpinned, to show what an unpinned client installs, and once pinned, where the copy is
  // refused at its download.
  const auto anchorCase = [&cases](const std::string& name, const std::string& fault,
                                   const std::string& timeout, bool pinned) {
    FaultCase made = ExchangeCase(name, fault);
    if (!pinned) made.serverArguments.push_back("--no-pins");
    made.settings.emplace_back("DownloadTimeout", timeout);
    cases.push_back(std::move(made));
  };
  anchorCase("slow-body", "slow-body", "8000", true);
  anchorCase("stalled-body", "stalled-body", "1000", true);
  anchorCase("huge-body", "huge-body", "8000", true);
  for (const char* fault :
       {"expired-ca", "not-yet-valid-ca", "expired-root", "not-yet-valid-root"}) {
    anchorCase(fault, fault, "8000", false);
  }
  anchorCase("expired-root-pinned", "expired-root", "8000", true);
  RunFaultCases(folder.Path(), cases);

  CheckCases(cases, {
                        {"slow-body", 0, kInstalled, 1, 0},
                        {"stalled-body", 1, kCaDownloadFailed, 0, 0},
                        {"huge-body", 1, kCaDownloadFailed, 0, 0},
                        {"expired-ca", 0, kInstalled, 1, 0},
                        {"not-yet-valid-ca", 0, kInstalled, 1, 0},
                        {"expired-root", 1, kHandshakeFailure, 0, 0},
                        {"not-yet-valid-root", 1, kHandshakeFailure, 0, 0},
                        {"expired-root-pinned", 1, kRootDownloadFailed, 0, 0},
                    });
  // Pinned, the outdated root never reaches the store and the server is never contacted.
  const FaultCase& pinned = CaseNamed(cases, "expired-root-pinned");
  EXPECT_TRUE(FilesWithExtension(pinned.site.Store("Root")).empty());
  EXPECT_EQ(pinned.server->Events(),
            (std::vector<std::string>{"http /ca.der 200", "http /root.der 200"}))
      << Joined(pinned.server->Events());
  // The outdated root was installed as downloaded; the handshake then refused the chain.
  for (const char* name : {"expired-root", "not-yet-valid-root"}) {
    const std::string root = CaseNamed(cases, name).site.Store("Root");
    const std::vector<std::string> files = FilesWithExtension(root, ".der");
    ASSERT_EQ(files.size(), 1u) << name;
    const CertPtr installed = ReadDerCertificate(root + "/" + files[0]);
    ASSERT_TRUE(installed) << name;
    const bool expired = std::string(name) == "expired-root";
    EXPECT_EQ(X509_cmp_current_time(expired ? X509_get0_notAfter(installed.get())
                                            : X509_get0_notBefore(installed.get())),
              expired ? -1 : 1)
        << name;
  }
  for (const char* name : {"stalled-body", "huge-body"}) {
    EXPECT_TRUE(FilesWithExtension(CaseNamed(cases, name).site.Store("CA")).empty()) << name;
  }
  RerunFailedSites(cases);
}

}  // namespace
}  // namespace digital_id::end_to_end
