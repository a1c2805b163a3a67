#include <algorithm>

#include "tests/unit/channel_test_fixture.h"

namespace digital_id {
namespace {

using ConnectionTest = ChannelTest;

bool WasRead(const fake::FakeProfile& profile, const std::u16string& key) {
  const auto keys = profile.KeysRead();
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

TEST_F(ConnectionTest, SuccessfulConnectionShowsConnectedAndLeavesTheSocketBlocking) {
  ASSERT_EQ(Shown(ConnectToServer(channel)), 1);
  EXPECT_EQ(StatusLine(), u"Connecting to server.");
  EXPECT_EQ(DetailLine(), u"Successfully connected.");

  EXPECT_EQ(fakes.sockets.Resolves(), std::vector<std::string>{"ca.example.test"});
  const auto connects = fakes.sockets.Connects();
  ASSERT_EQ(connects.size(), 1u);
  EXPECT_EQ(connects[0].socket, channel.serverSocket);
  EXPECT_EQ(connects[0].address, kServerAddress);
  EXPECT_EQ(connects[0].port, 443);
  // Non-blocking for the connect, blocking again before the wait.
  EXPECT_EQ(fakes.sockets.NonBlockingModes(), (std::vector<bool>{true, false}));
}

TEST_F(ConnectionTest, PortKeepsOnlyTheLow16BitsInAnyBase) {
  for (const std::u16string value : {u"65979", u"0x1BB", u"0673", u"443"}) {
    fakes.profile.Set(u"CATCPPortSHA256", value);
    ASSERT_EQ(Shown(ConnectToServer(channel)), 1);
    EXPECT_EQ(fakes.sockets.Connects().back().port, 443) << std::string(value.begin(), value.end());
  }
  fakes.profile.Set(u"CATCPPortSHA256", u"8443");
  ASSERT_EQ(Shown(ConnectToServer(channel)), 1);
  EXPECT_EQ(fakes.sockets.Connects().back().port, 8443);
}

TEST_F(ConnectionTest, ConnectionTimeoutIsWaitedAsSecondsAndMicroseconds) {
  struct Case {
    std::u16string value;
    long seconds;
    long microseconds;
  };
  const Case cases[] = {{u"1500", 1, 500000},
                        {u"0x5DC", 1, 500000},
                        {u"999", 0, 999000},
                        {u"0", 0, 0},
                        {u"", 0, 0},
                        {u"2000", 2, 0},
                        {u"4294968", 4294, 968000}};  // 4,294,968,000 µs overflows 32 bits
  for (const Case& c : cases) {
    fakes.profile.Set(u"ConnectionTimeout", c.value);
    Shown(ConnectToServer(channel));
    const fake::FakeWait wait = fakes.sockets.Waits().back();
    EXPECT_EQ(wait.seconds, c.seconds) << std::string(c.value.begin(), c.value.end());
    EXPECT_EQ(wait.microseconds, c.microseconds) << std::string(c.value.begin(), c.value.end());
  }
}

TEST_F(ConnectionTest, OnlyThePortKeyOfTheCurrentModeIsRead) {
  fakes.profile.Set(u"CATCPPortSHA1", u"8443");
  ASSERT_EQ(Shown(ConnectToServer(channel)), 1);
  EXPECT_EQ(fakes.sockets.Connects().back().port, 443);
  EXPECT_FALSE(WasRead(fakes.profile, u"CATCPPortSHA1"));

  App().isPostXp = 0;
  fakes.profile.Remove(u"CATCPPortSHA256");
  ASSERT_EQ(Shown(ConnectToServer(channel)), 1);
  EXPECT_EQ(fakes.sockets.Connects().back().port, 8443);

  App().forceSha256 = 1;
  fakes.profile.Set(u"CATCPPortSHA256", u"9443");
  ASSERT_EQ(Shown(ConnectToServer(channel)), 1);
  EXPECT_EQ(fakes.sockets.Connects().back().port, 9443);
}

TEST_F(ConnectionTest, InvalidSocketFailsWithoutResolving) {
  const SocketHandle open = channel.serverSocket;
  channel.serverSocket = kInvalidSocket;
  EXPECT_EQ(Shown(ConnectToServer(channel)), 0);
  EXPECT_EQ(StatusLine(), u"Connecting to server.");
  EXPECT_EQ(DetailLine(), u"Unable to connect to server.");
  EXPECT_TRUE(fakes.sockets.Resolves().empty());
  EXPECT_TRUE(fakes.sockets.Connects().empty());
  fakes.sockets.Close(open);
}

TEST_F(ConnectionTest, UnresolvableNameShowsConnectionFailure) {
  fakes.profile.Set(u"CAAddress", u"nowhere.invalid");
  EXPECT_EQ(Shown(ConnectToServer(channel)), 0);
  EXPECT_EQ(DetailLine(), u"Unable to connect to server.");
  EXPECT_EQ(fakes.sockets.Resolves(), std::vector<std::string>{"nowhere.invalid"});
  EXPECT_TRUE(fakes.sockets.Connects().empty());

  // An empty address is not looked up at all.
  fakes.profile.Set(u"CAAddress", u"");
  EXPECT_EQ(Shown(ConnectToServer(channel)), 0);
  EXPECT_EQ(fakes.sockets.Resolves().size(), 1u);
}

TEST_F(ConnectionTest, DottedAddressGoesThroughTheSameLookup) {
  fakes.profile.Set(u"CAAddress", u"192.0.2.77");
  fakes.sockets.AddHost("192.0.2.77", 0x4D0200C0);
  ASSERT_EQ(Shown(ConnectToServer(channel)), 1);
  EXPECT_EQ(fakes.sockets.Connects().back().address, 0x4D0200C0u);
}

TEST_F(ConnectionTest, RefusedConnectionShowsConnectionFailure) {
  fakes.sockets.pendingError = 10061;  // refused, reported through the wait
  EXPECT_EQ(Shown(ConnectToServer(channel)), 0);
  EXPECT_EQ(StatusLine(), u"Connecting to server.");
  EXPECT_EQ(DetailLine(), u"Unable to connect to server.");
}

TEST_F(ConnectionTest, WaitThatTimesOutOrFailsShowsConnectionFailure) {
  for (int result : {0, kSocketError}) {
    fakes.sockets.waitResult = result;
    SetDetailLine(u"");
    EXPECT_EQ(Shown(ConnectToServer(channel)), 0);
    EXPECT_EQ(DetailLine(), u"Unable to connect to server.");
  }
}

TEST_F(ConnectionTest, ConnectionTextsInFrench) {
  UseFrench();
  ASSERT_EQ(Shown(ConnectToServer(channel)), 1);
  EXPECT_EQ(StatusLine(), u"Connexion au serveur.");
  EXPECT_EQ(DetailLine(), u"Connexion réussie.");
  fakes.sockets.pendingError = 10065;
  EXPECT_EQ(Shown(ConnectToServer(channel)), 0);
  EXPECT_EQ(StatusLine(), u"Connexion au serveur.");
  EXPECT_EQ(DetailLine(), u"Incapable de se connecter au serveur.");
}

}  // namespace
}  // namespace digital_id
