// End-to-end runs of digital-id-enroll that end before a verdict: a server that cannot be
// trusted or reached, anchors that cannot be downloaded or do not match their pins, and usage
// errors.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/end_to_end_support.h"

namespace digital_id::end_to_end {
namespace {

// The last two lines, or all of them when there are fewer.
std::vector<std::string> LastTwo(const std::vector<std::string>& lines) {
  return {lines.size() > 2 ? lines.end() - 2 : lines.begin(), lines.end()};
}

const std::vector<std::string> kDownloadFailure = {"status: CA certificate downloading.",
                                                   "detail: CA certificate download failed."};

class EndToEndFailureTest : public EndToEndTest {};

TEST_F(EndToEndFailureTest, ServerCertificateFromAnotherIntermediateFailsValidation) {
  ASSERT_TRUE(StartServer({"--other-intermediate", "--code", "OTHER-1"}));
  const ClientSite site = NewSite("client");
  const EnrollOutcome outcome = Enroll(site, "OTHER-1");
  EXPECT_EQ(outcome.exitCode, 1);
  // The chain verifies (same root), the issuer is not the configured CAIssuer.
  EXPECT_TRUE(HasAdjacentLines(outcome.lines, "status: Connecting to server.",
                               "detail: Successfully connected."))
      << Joined(outcome.lines);
  EXPECT_EQ(LastTwo(outcome.lines),
            (std::vector<std::string>{"status: Validating server credentials.",
                                      "detail: Unable to validate the server credentials."}))
      << Joined(outcome.lines);
  EXPECT_TRUE(server->WaitForEvent("closed -")) << EventText();
  EXPECT_FALSE(HasEvent("request OTHER-1")) << EventText();
  EXPECT_TRUE(FilesWithExtension(site.Store("My")).empty());
}

// (The untrusted server and the wrong target name are scenarios of the shared table.)
TEST_F(EndToEndFailureTest, RefusedPortFailsTheConnection) {
  ASSERT_TRUE(StartServer({"--code", "PORT-1"}));
  const RefusingPort refusing;
  ASSERT_NE(refusing.Port(), 0);
  const ClientSite portSite = NewSite("refused-port");
  ASSERT_TRUE(SetIniValue(portSite.Settings(), "CATCPPortSHA256", std::to_string(refusing.Port())));

  const EnrollOutcome port = Enroll(portSite, "PORT-1");
  EXPECT_EQ(port.exitCode, 1);
  EXPECT_EQ(LastTwo(port.lines), (std::vector<std::string>{"status: Connecting to server.",
                                                           "detail: Unable to connect to server."}))
      << Joined(port.lines);
  // The refused run never reached the server's TLS port.
  EXPECT_FALSE(HasEvent("handshake-failed")) << EventText();
  EXPECT_FALSE(HasEvent("request PORT-1")) << EventText();
}

TEST_F(EndToEndFailureTest, AnchorDownloadFailuresStopTheRun) {
  ASSERT_TRUE(StartServer({"--code", "ANCHOR-1", "--http-stall-path", "/stall.der"}));
  const std::string http = "http://127.0.0.1:" + std::to_string(server->HttpPort());
  const ClientSite missingSite = NewSite("missing");
  ASSERT_TRUE(SetIniValue(missingSite.Settings(), "CASHA256IssuerURL", http + "/missing.der"));
  const ClientSite pemSite = NewSite("pem");
  ASSERT_TRUE(SetIniValue(pemSite.Settings(), "CASHA256IssuerURL", http + "/ca.pem"));
  const ClientSite stallSite = NewSite("stall");
  ASSERT_TRUE(SetIniValue(stallSite.Settings(), "CASHA256IssuerURL", http + "/stall.der"));
  ASSERT_TRUE(SetIniValue(stallSite.Settings(), "DownloadTimeout", "500"));

  auto missingRun = std::async(std::launch::async, [&] { return Enroll(missingSite, "ANCHOR-1"); });
  auto pemRun = std::async(std::launch::async, [&] { return Enroll(pemSite, "ANCHOR-1"); });
  const EnrollOutcome stall = Enroll(stallSite, "ANCHOR-1");
  const EnrollOutcome missing = missingRun.get();
  const EnrollOutcome pem = pemRun.get();

  for (const EnrollOutcome* outcome : {&missing, &pem, &stall}) {
    EXPECT_EQ(outcome->exitCode, 1);
    EXPECT_EQ(LastTwo(outcome->lines), kDownloadFailure) << Joined(outcome->lines);
    EXPECT_EQ(FindLine(outcome->lines, "status: Installing CA certificate."),
              outcome->lines.size());
  }
  EXPECT_TRUE(HasEvent("http /missing.der 404")) << EventText();
  EXPECT_TRUE(HasEvent("http /ca.pem 200")) << EventText();
  EXPECT_TRUE(HasEvent("http /stall.der stalled")) << EventText();
  EXPECT_FALSE(HasEvent("http /root.der 200")) << EventText();
  EXPECT_FALSE(HasEvent("request ANCHOR-1")) << EventText();
  for (const ClientSite* site : {&missingSite, &pemSite, &stallSite}) {
    EXPECT_TRUE(FilesWithExtension(site->Store("CA")).empty());
  }
}

// The value of key in an INI file, without colons; empty when the key is missing.
std::string PinWithoutColons(const std::string& file, const std::string& key) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + "=", 0) != 0) continue;
    std::string value = line.substr(key.size() + 1);
    value.erase(std::remove(value.begin(), value.end(), ':'), value.end());
    return value;
  }
  return {};
}

TEST_F(EndToEndFailureTest, WrongRootPinStopsAtTheRootDownloadAndChangesNoStore) {
  ASSERT_TRUE(StartServer({"--code", "PINNED-1", "--code", "PINNED-2"}));
  const ClientSite site = NewSite("client");
  // The pins the server wrote are right: the run issues and fills the stores.
  const EnrollOutcome first = Enroll(site, "PINNED-1");
  ASSERT_EQ(first.exitCode, 0) << Joined(first.lines) << first.errors;
  ASSERT_TRUE(WaitForClosed("PINNED-1"));
  const std::string caPin = PinWithoutColons(site.Settings(), "CAThumbprint");
  const std::string rootPin = PinWithoutColons(site.Settings(), "ROOTCAThumbprint");
  ASSERT_EQ(caPin.size(), 64u);
  ASSERT_EQ(rootPin.size(), 64u);
  const auto storeFiles = [&site] {
    std::vector<std::vector<std::string>> files;
    for (const char* store : {"CA", "Root", "My", "REQUEST"}) {
      files.push_back(FilesWithExtension(site.Store(store)));
    }
    return files;
  };
  const auto before = storeFiles();
  const std::size_t eventsBefore = server->Events().size();

  // The root's pin now names another certificate (the CA): the real root no longer passes.
  ASSERT_TRUE(SetIniValue(site.Settings(), "ROOTCAThumbprint", caPin));
  const EnrollOutcome pinned = Enroll(site, "PINNED-2");
  EXPECT_EQ(pinned.exitCode, 1);
  EXPECT_EQ(LastTwo(pinned.lines),
            (std::vector<std::string>{"status: Root certificate downloading.",
                                      "detail: Root certificate download failed."}))
      << Joined(pinned.lines);
  EXPECT_EQ(pinned.errors,
            "digital-id-enroll: ROOTCAThumbprint does not match the downloaded root certificate: "
            "expected " +
                caPin + ", received " + rootPin + "\n");
  EXPECT_EQ(storeFiles(), before);
  // Both anchors were fetched and nothing else: no TLS connection, the code never went out.
  const std::vector<std::string> events = server->Events();
  EXPECT_EQ(std::vector<std::string>(events.begin() + static_cast<std::ptrdiff_t>(eventsBefore),
                                     events.end()),
            (std::vector<std::string>{"http /ca.der 200", "http /root.der 200"}))
      << EventText();
}

TEST_F(EndToEndFailureTest, UsageErrorsAndInvalidCodesNeverReachTheServer) {
  ASSERT_TRUE(StartServer({"--code", "VALID-1"}));
  const ClientSite site = NewSite("client");

  const EnrollOutcome help = Enroll(site, "", {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  ASSERT_FALSE(help.lines.empty());
  EXPECT_EQ(help.lines[0], "Usage: digital-id-enroll [--machine] [--settings FILE]");
  EXPECT_NE(FindLine(help.lines,
                     "  --machine        enroll the computer (machine context); "
                     "needs AdvanceMode=true"),
            help.lines.size())
      << Joined(help.lines);

  const EnrollOutcome unknown = Enroll(site, "VALID-1", {"--unknown"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_TRUE(unknown.lines.empty()) << Joined(unknown.lines);
  EXPECT_NE(unknown.errors.find("unknown argument: --unknown"), std::string::npos)
      << unknown.errors;
  // The modes after an enrollment take their own options only, and one mode at a time.
  const std::vector<std::pair<std::vector<std::string>, std::string>> misuses = {
      {{"--json"}, "--json goes with --status only"},
      {{"--status", "--remove", "01"}, "exclude each other"},
      {{"--remove", "12:zz"}, "--remove needs the serial number"},
      {{"--remove"}, "--remove needs the serial number"},
      {{"--days", "5"}, "--days goes with --check-expiry only"},
      {{"--check-expiry", "--days", "-1"}, "--days needs a number of days"},
      {{"--check-expiry", "--days", "36500"}, "--days needs a number of days"},
      {{"--check-expiry", "--machine"}, "no --machine"},
  };
  for (const auto& [arguments, error] : misuses) {
    const EnrollOutcome misuse = Enroll(site, "VALID-1", arguments);
    EXPECT_EQ(misuse.exitCode, 2) << arguments[0];
    EXPECT_NE(misuse.errors.find(error), std::string::npos) << misuse.errors;
  }

  const EnrollOutcome empty = Enroll(site, "");
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(
      LastTwo(empty.lines),
      (std::vector<std::string>{"status: Invalid data.", "detail: Secure Code can not be empty."}))
      << Joined(empty.lines);

  // The line end is not part of the code, but a space inside it is.
  const EnrollOutcome spaced = Enroll(site, "ABC 123");
  EXPECT_EQ(spaced.exitCode, 1);
  EXPECT_EQ(LastTwo(spaced.lines),
            (std::vector<std::string>{"status: Invalid data.", "detail: Invalid Secure Code."}))
      << Joined(spaced.lines);

  EXPECT_TRUE(server->Events().empty()) << EventText();
  EXPECT_FALSE(HasEvent("request VALID-1"));
}

}  // namespace
}  // namespace digital_id::end_to_end
