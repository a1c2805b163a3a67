// The expiry reminder of digital-id-enroll --check-expiry on a real session bus: identities
// enrolled through the test server with a short and a long validity, checked under
// dbus-run-session with a notification service that records each Notify call
// (digital-id-notification-listener), without any session bus, and as root with a bus named by
// the environment. Under root (as CI runs) the user's own checks run as nobody.

#include <gtest/gtest.h>
#include <openssl/asn1.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/end_to_end_support.h"

#ifndef NOTIFICATION_LISTENER_PATH
#error "NOTIFICATION_LISTENER_PATH must name the digital-id-notification-listener binary"
#endif

namespace digital_id::end_to_end {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNobody = "65534";

// The lines a listener recorded, each split into its tab-separated fields.
std::vector<std::vector<std::string>> RecordedCalls(const std::string& record) {
  std::vector<std::vector<std::string>> calls;
  std::ifstream in(record);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
    calls.push_back(fields);
  }
  return calls;
}

// The end of a certificate's validity as the reminder writes it: "2026-12-14 at 09:30 UTC".
std::string EndOfValidity(const CertPtr& certificate) {
  std::tm end{};
  if (!certificate || ASN1_TIME_to_tm(X509_get0_notAfter(certificate.get()), &end) != 1) return {};
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d at %H:%M UTC", &end);
  return text;
}

// Hands a folder and everything in it to nobody.
void GiveToNobody(const fs::path& folder) {
  ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0) << folder;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0) << entry.path();
  }
}

class ExpiryReminderTest : public EndToEndTest {
 protected:
  // Enrolls a new site named name with code against a server that issues for days days.
  ClientSite EnrollFor(const std::string& name, const std::string& code, int days) {
    server.reset();
    EXPECT_TRUE(StartServer(
        {"--code", code, "--validity-days", std::to_string(days), "--verdict-delay-ms", "0"}));
    const ClientSite site = NewSite(name);
    const EnrollOutcome run = Enroll(site, code);
    EXPECT_EQ(run.exitCode, 0) << run.errors << Joined(run.lines);
    return site;
  }

  // Runs --check-expiry for a site, in English, through wrapper.
  EnrollOutcome Check(const ClientSite& site, const std::vector<std::string>& wrapper,
                      const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    EnrollInvocation invocation;
    invocation.arguments = {"--check-expiry"};
    invocation.workingFolder = site.work;
    invocation.environment = {
        {"XDG_DATA_HOME", site.userData}, {"HOME", site.userData}, {"LC_ALL", "C"}};
    invocation.environment.insert(invocation.environment.end(), environment.begin(),
                                  environment.end());
    invocation.wrapper = wrapper;
    return RunEnroll(invocation);
  }

  // A session bus of its own with the recording notification service on it, around the
  // program, as the user (nobody when the test runs as root).
  std::vector<std::string> OnSessionBus(const std::string& record, bool asUser = true) const {
    std::vector<std::string> wrapper = asUser ? AsUser() : std::vector<std::string>{};
    wrapper.insert(wrapper.end(),
                   {"dbus-run-session", "--", NOTIFICATION_LISTENER_PATH, record, "--"});
    return wrapper;
  }

  // The user's side of the wrapper: nothing, or a switch to nobody under root.
  static std::vector<std::string> AsUser() {
    if (::geteuid() != 0) return {};
    return {"setpriv", std::string("--reuid=") + kNobody, std::string("--regid=") + kNobody,
            "--clear-groups"};
  }
};

TEST_F(ExpiryReminderTest, AShortLivedIdentityGivesOneNotificationALongOneNoneAndNoBusALine) {
  const ClientSite shortLived = EnrollFor("short", "SHORT-1", 5);
  const ClientSite longLived = EnrollFor("long", "LONG-1", 400);
  const std::vector<std::string> issued = FilesWithExtension(shortLived.Store("My"), ".der");
  ASSERT_EQ(issued.size(), 1u);
  const CertPtr certificate = ReadDerCertificate(shortLived.Store("My") + "/" + issued[0]);
  ASSERT_TRUE(certificate);
  // The test server gave it five days from now (and an hour before, for clock skew).
  int days = 0;
  int seconds = 0;
  ASSERT_EQ(ASN1_TIME_diff(&days, &seconds, X509_get0_notBefore(certificate.get()),
                           X509_get0_notAfter(certificate.get())),
            1);
  EXPECT_EQ(days, 5);
  EXPECT_EQ(seconds, 3600);
  const std::string expected = "It expires on " + EndOfValidity(certificate) + ", in 5 days.";
  const std::string line = "digital-id-enroll: Your digital ID expires soon: " + expected;

  if (::geteuid() == 0) {
    // Root does not speak on a session bus that its environment names: the line goes to
    // standard error and the listener on that bus hears nothing.
    const std::string record = folder.Path() + "/root-calls.txt";
    const EnrollOutcome root = Check(shortLived, OnSessionBus(record, false));
    EXPECT_EQ(root.exitCode, 0) << root.errors;
    EXPECT_NE(root.errors.find(line), std::string::npos) << root.errors;
    EXPECT_TRUE(RecordedCalls(record).empty());
    // The user's checks below run as nobody, who must reach the sites and own their files.
    fs::permissions(folder.Path(), fs::perms::owner_all | fs::perms::others_exec);
    GiveToNobody(fs::path(shortLived.work).parent_path());
    GiveToNobody(fs::path(longLived.work).parent_path());
  }

  // Five days left: exactly one notification, which says when, on the session bus.
  const std::string shortRecord = fs::path(shortLived.work).parent_path() / "calls.txt";
  const EnrollOutcome soon = Check(shortLived, OnSessionBus(shortRecord));
  EXPECT_EQ(soon.exitCode, 0) << soon.errors;
  EXPECT_TRUE(soon.lines.empty()) << Joined(soon.lines);
  const auto calls = RecordedCalls(shortRecord);
  ASSERT_EQ(calls.size(), 1u) << soon.errors;
  ASSERT_EQ(calls[0].size(), 8u);
  EXPECT_EQ(calls[0][0], "Orvan Digital ID Installer");
  EXPECT_EQ(calls[0][1], "0");  // a new notification, replacing none
  EXPECT_EQ(calls[0][2], "digital-id-installer");
  EXPECT_EQ(calls[0][3], "Your digital ID expires soon");
  EXPECT_NE(calls[0][4].find(expected), std::string::npos) << calls[0][4];
  EXPECT_NE(calls[0][4].find("new secure code"), std::string::npos) << calls[0][4];
  EXPECT_EQ(calls[0][5] + " " + calls[0][6] + " " + calls[0][7], "0 0 -1");  // actions, hints
  EXPECT_EQ(soon.errors.find(line), std::string::npos) << soon.errors;

  // 400 days left: quiet, on the bus and off it.
  const std::string longRecord = fs::path(longLived.work).parent_path() / "calls.txt";
  const EnrollOutcome later = Check(longLived, OnSessionBus(longRecord));
  EXPECT_EQ(later.exitCode, 0) << later.errors;
  EXPECT_TRUE(RecordedCalls(longRecord).empty());
  EXPECT_TRUE(later.lines.empty()) << Joined(later.lines);
  EXPECT_EQ(later.errors.find("digital-id-enroll:"), std::string::npos) << later.errors;

  // No session bus: the same words on standard error, and still exit 0.
  const EnrollOutcome noBus = Check(
      shortLived, AsUser(), {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + folder.Path() + "/none"}});
  EXPECT_EQ(noBus.exitCode, 0) << noBus.errors;
  EXPECT_NE(noBus.errors.find(line), std::string::npos) << noBus.errors;
  EXPECT_NE(noBus.errors.find("new secure code"), std::string::npos) << noBus.errors;
  EXPECT_TRUE(noBus.lines.empty()) << Joined(noBus.lines);
}

}  // namespace
}  // namespace digital_id::end_to_end
