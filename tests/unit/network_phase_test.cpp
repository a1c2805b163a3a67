#include <gtest/gtest.h>

#include <functional>

#include "anchor_test_support.h"

namespace digital_id {
namespace {

using namespace testing;

constexpr std::uint32_t kServer = 0x0A0200C0;  // 192.0.2.10

// A whole enrollment over fakes: anchors served, a server at ca.example.test whose certificate
// comes from the configured issuing CA, and the TLS engine available.
class NetworkPhaseTest : public CoreTest {
 public:
  using CoreTest::fakes;

 protected:
  void SetUp() override {
    CoreTest::SetUp();
    Prepare();
  }
  void Prepare() {
    CreateWindow(true);
    ServeAnchors(fakes());
    fakes().profile.Set(u"CAIssuer", kIssuingName);
    fakes().profile.Set(u"CAAddress", u"ca.example.test");
    fakes().profile.Set(u"CATCPPortSHA256", u"443");
    fakes().profile.Set(u"ConnectionTimeout", u"5000");
    fakes().profile.Set(u"SendReceiveTimeout", u"0x1388");
    fakes().profile.Set(u"CAFECertNameSHA256", u"ca.example.test");
    fakes().sockets.AddHost("ca.example.test", kServer);
    fakes().tls.available = true;
    fakes().tls.peerCertificate->issuer = kIssuingName;
  }

 public:
  // The server answers the handshake, then sends the given messages.
  void ServerAnswers(std::initializer_list<std::string_view> messages) {
    for (std::string_view message : messages) fakes().tls.QueueMessage(message);
  }

 protected:
  void Submit() {
    fakes().windows.Type(App().codeEdit, u"ABC-123");
    OnMainWindowCommand(1);
  }
  std::vector<std::string> Sent() { return fakes().tls.SentMessages(); }
  // Nothing of the connection outlives the shutdown.
  void ExpectEverythingReleased() {
    EXPECT_EQ(fakes().tls.LiveSessions(), 0);
    EXPECT_EQ(fakes().sockets.OpenSockets(), 0);
    EXPECT_EQ(fakes().sockets.InvalidCloses(), 0);
    EXPECT_EQ(fakes().sockets.cleanups.load(), 1);
    EXPECT_EQ(fakes().system.ComUninitializeCount(), 1);
  }
};

TEST_F(NetworkPhaseTest, IssuedCertificateIsInstalledAndBothLinesTurnGreen) {
  ServerAnswers({"SRVACK;", "ISSUED;MIIC\r\nchain==\r\n"});
  Submit();
  EXPECT_EQ(Status(), u"Certificate was issued.");
  EXPECT_EQ(Detail(), u"Certificate installation completed. Click Close to exit.");
  EXPECT_EQ(App().lineColour.load(), 0x8000u);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].substr(0, 4), "REQ;");
  EXPECT_NE(sent[0].find(";ABC-123;alice;MIIBfake\r\nrequest==\r\n;true;true;"), std::string::npos);
  EXPECT_EQ(sent[1], "CLTACK;");
  const auto calls = fakes().enrollment.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].response, u"MIIC\r\nchain==\r\n");
  EXPECT_EQ(fakes().system.Sleeps(), std::vector<std::uint32_t>{5000});
  EXPECT_EQ(fakes().sockets.ReceiveTimeouts(), std::vector<std::uint32_t>{5000});
  EXPECT_EQ(fakes().sockets.SendTimeouts(), std::vector<std::uint32_t>{5000});
  EXPECT_TRUE(InputControlsEnabled());
  ExpectEverythingReleased();
  // One session, secured on the socket the phase connected, for the configured name.
  EXPECT_EQ(fakes().tls.SessionsCreated(), 1);
  EXPECT_EQ(fakes().tls.HandshakeTargets(), std::vector<std::u16string>{u"ca.example.test"});
}

TEST_F(NetworkPhaseTest, AnotherCodeCanBeSubmittedAfterASuccess) {
  ServerAnswers({"SRVACK;", "ISSUED;A"});
  Submit();
  ASSERT_EQ(App().lineColour.load(), 0x8000u);
  ServerAnswers({"SRVACK;", "DENIED;"});
  Submit();
  EXPECT_EQ(App().lineColour.load(), 153u);
  EXPECT_EQ(Status(), u"Request denied.");
  EXPECT_TRUE(InputControlsEnabled());
}

TEST_F(NetworkPhaseTest, SocketsLibraryThatCannotStartLeavesTheControlsDisabled) {
  fakes().sockets.startupResult = 10091;
  Submit();
  EXPECT_EQ(Status(), u"Connecting to server.");
  EXPECT_EQ(Detail(), u"Unable to connect to server.");
  EXPECT_FALSE(InputControlsEnabled());
  EXPECT_EQ(fakes().sockets.cleanups.load(), 0);
  EXPECT_EQ(fakes().system.ComUninitializeCount(), 0);
  EXPECT_EQ(fakes().sockets.SocketsCreated(), 0);
}

struct ExitRow {
  const char* name;
  std::function<void(NetworkPhaseTest&)> arrange;
  const char16_t* status;
  const char16_t* detail;
  bool clientAcknowledges;  // "CLTACK;" was sent
};

TEST_F(NetworkPhaseTest, EveryExitLeavesItsTextsTheControlsAndTheAcknowledgement) {
  const char16_t* const denial =
      u"Certificate was not issued. Ensure secure code was copied and pasted properly and has "
      u"not been used before.";
  const std::vector<ExitRow> rows{
      {"name does not resolve",
       [](NetworkPhaseTest& t) { t.fakes().profile.Set(u"CAAddress", u"nowhere.test"); },
       u"Connecting to server.", u"Unable to connect to server.", false},
      {"connection refused",
       [](NetworkPhaseTest& t) {
         t.ServerAnswers({});
         t.fakes().sockets.pendingError = 10061;
       },
       u"Connecting to server.", u"Unable to connect to server.", false},
      {"handshake refused",
       [](NetworkPhaseTest& t) {
         t.fakes().tls.handshakeResult = HandshakeResult::CertificateRefused;
       },
       u"Certificate authentication failed.", u"Bad server certificate encountered.", false},
      {"server from another issuer",
       [](NetworkPhaseTest& t) {
         t.ServerAnswers({"SRVACK;"});
         t.fakes().tls.peerCertificate->issuer = u"XX, Example Org, Other Issuing CA";
       },
       u"Validating server credentials.", u"Unable to validate the server credentials.", false},
      {"no request from the enrollment objects",
       [](NetworkPhaseTest& t) {
         t.ServerAnswers({"SRVACK;"});
         t.fakes().enrollment.request.clear();
       },
       u"Generating request.",
       u"Error in generating certificate request. Please ensure you have Administrator "
       u"permissions.",
       false},
      {"request cannot be sent",
       [](NetworkPhaseTest& t) {
         t.ServerAnswers({"SRVACK;"});
         t.fakes().tls.QueueSendResult(SendResult::SendFailed);
       },
       u"Connection closed.", u"Unable to send message to the server.", false},
      {"request refused", [](NetworkPhaseTest& t) { t.ServerAnswers({"SRVNACK;"}); },
       u"Submitting certificate request.", u"Invalid data. Request rejected.", false},
      {"no acknowledgement", [](NetworkPhaseTest& t) { t.ServerAnswers({}); }, u"Connection error.",
       u"An error occurred while connected to the server.", false},
      {"denied",
       [](NetworkPhaseTest& t) {
         t.ServerAnswers({"SRVACK;", "DENIED;"});
       },
       u"Request denied.", denial, true},
      {"refused at the verdict",
       [](NetworkPhaseTest& t) {
         t.ServerAnswers({"SRVACK;", "SRVNACK;"});
       },
       u"Bad connection.", u"Bad connection to the server.", true},
      {"server closes before the verdict",
       [](NetworkPhaseTest& t) {
         t.ServerAnswers({"SRVACK;"});
         t.fakes().tls.QueueReceive(ReceiveResult::Closed);
       },
       u"Request denied.", denial, true},
      {"installation refused",
       [](NetworkPhaseTest& t) {
         t.ServerAnswers({"SRVACK;", "ISSUED;x"});
         t.fakes().enrollment.installResult = 1;
       },
       u"Certificate installation failed.", u"Please try again with a new secure code.", true},
  };
  for (const ExitRow& row : rows) {
    Reset();
    Prepare();
    row.arrange(*this);
    Submit();
    EXPECT_EQ(Status(), row.status) << row.name;
    EXPECT_EQ(Detail(), row.detail) << row.name;
    EXPECT_EQ(App().lineColour.load(), 153u) << row.name;
    EXPECT_TRUE(InputControlsEnabled()) << row.name;
    const auto sent = Sent();
    const bool acknowledged = !sent.empty() && sent.back() == "CLTACK;";
    EXPECT_EQ(acknowledged, row.clientAcknowledges) << row.name;
    SCOPED_TRACE(row.name);
    ExpectEverythingReleased();
  }
}

}  // namespace
}  // namespace digital_id
