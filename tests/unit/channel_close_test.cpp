#include "core/shell/texts.h"
#include "tests/unit/channel_test_fixture.h"

namespace digital_id {
namespace {

class CloseTest : public ChannelTest {
 protected:
  void ExpectControlsEnabledInOrder() const {
    std::vector<WindowHandle> enabled;
    for (const fake::WindowEvent& event : fakes.windows.Events()) {
      if (event.kind == fake::WindowEvent::Kind::Enable && event.enabled) {
        enabled.push_back(event.control);
      }
    }
    const AppState& app = App();
    EXPECT_EQ(enabled, (std::vector<WindowHandle>{app.codeEdit, app.submitButton, app.pasteButton,
                                                  app.closeButton}));
    for (WindowHandle control : enabled) EXPECT_TRUE(fakes.windows.IsEnabled(control));
  }
  void ExpectNothingLeft() {
    EXPECT_EQ(Tls().LiveSessions(), 0);
    EXPECT_EQ(fakes.sockets.OpenSockets(), 0);
    EXPECT_EQ(fakes.sockets.InvalidCloses(), 0);
  }
};

TEST_F(CloseTest, CloseReleasesEverythingAndLeavesTheWindowToTheOutcome) {
  Establish();
  DisableInputControls();
  MarkLines();
  fakes.windows.ClearEvents();
  CloseConnection(channel);

  EXPECT_EQ(fakes.sockets.SocketsClosed(), 1);
  EXPECT_EQ(fakes.sockets.cleanups, 1);
  EXPECT_EQ(fakes.system.ComUninitializeCount(), 1);
  ExpectNothingLeft();
  EXPECT_TRUE(fakes.windows.Events().empty());
  EXPECT_TRUE(LinesUnchanged());
  // The run's outcome gives the controls back, in their order.
  ReportOutcome(RunOutcome{RunResult::SendFailed, texts::kConnectionClosed, texts::kUnableToSend,
                           Language::English});
  ExpectControlsEnabledInOrder();
}

TEST_F(CloseTest, CloseWithoutConnectionStillEndsTheLibraries) {
  fakes.sockets.Close(channel.serverSocket);
  channel.serverSocket = kInvalidSocket;
  channel.session.reset();
  CloseConnection(channel);
  EXPECT_EQ(fakes.sockets.cleanups, 1);
  EXPECT_EQ(fakes.system.ComUninitializeCount(), 1);
  ExpectNothingLeft();
}

TEST_F(CloseTest, SecondCloseReleasesNothingTwice) {
  Establish();
  CloseConnection(channel);
  CloseConnection(channel);
  EXPECT_EQ(fakes.sockets.SocketsClosed(), 1);
  ExpectNothingLeft();
}

TEST_F(CloseTest, ChannelLeftWithoutCloseReleasesItsSessionAndSocket) {
  {
    SecureChannel forgotten;
    forgotten.session = Tls().NewSession();
    forgotten.serverSocket = fakes.sockets.CreateTcpSocket();
  }
  EXPECT_EQ(Tls().LiveSessions(), 1);         // only the fixture's own session
  EXPECT_EQ(fakes.sockets.OpenSockets(), 1);  // and socket
}

// The whole client side over the scripted session, as the network phase drives it.
TEST_F(CloseTest, WholeExchangeOverTheScriptedSession) {
  Tls().QueueMessage("SRVACK;");
  Tls().QueueMessage("ISSUED;MIIB");
  ASSERT_EQ(Shown(ConnectToServer(channel)), 1);
  ASSERT_EQ(Shown(PerformHandshake(channel)), 1);
  ASSERT_EQ(Shown(AuthenticateServer(channel, Language::English)), 1);
  ASSERT_EQ(Shown(SendSecureMessage(channel, "REQ;000010;code")), 1);
  EXPECT_EQ(ReceiveSecureMessage(channel), u"SRVACK;");
  EXPECT_EQ(ReceiveSecureMessage(channel), u"ISSUED;MIIB");
  ASSERT_EQ(Shown(SendSecureMessage(channel, "CLTACK;")), 1);
  CloseConnection(channel);

  EXPECT_EQ(Tls().SentMessages(), (std::vector<std::string>{"REQ;000010;code", "CLTACK;"}));
  EXPECT_EQ(StatusLine(), u"Connecting to server.");
  EXPECT_EQ(DetailLine(), u"Successfully connected.");
  ExpectNothingLeft();
}

}  // namespace
}  // namespace digital_id
