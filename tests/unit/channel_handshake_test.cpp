#include "tests/unit/channel_test_fixture.h"

namespace digital_id {
namespace {

class HandshakeTest : public ChannelTest {
 protected:
  void SetUp() override {
    ChannelTest::SetUp();
    MarkLines();
  }
  void ExpectFailureTexts() const {
    EXPECT_EQ(StatusLine(), u"Certificate authentication failed.");
    EXPECT_EQ(DetailLine(), u"Bad server certificate encountered.");
  }
};

TEST_F(HandshakeTest, SecuredConnectionChangesNeitherLine) {
  ASSERT_EQ(Shown(PerformHandshake(channel)), 1);
  EXPECT_TRUE(LinesUnchanged());
  // The session secures the channel's own socket for the target name of the current mode.
  EXPECT_EQ(Tls().HandshakeSockets(), std::vector<SocketHandle>{channel.serverSocket});
  EXPECT_EQ(Tls().HandshakeTargets(), std::vector<std::u16string>{u"ca.example.test"});
}

TEST_F(HandshakeTest, RefusedCertificateAndEveryOtherFailureShowTheSameTexts) {
  for (const HandshakeResult result :
       {HandshakeResult::CertificateRefused, HandshakeResult::Failed}) {
    MarkLines();
    Tls().handshakeResult = result;
    EXPECT_EQ(Shown(PerformHandshake(channel)), 0);
    ExpectFailureTexts();
  }
  // A channel without a session cannot be secured either.
  MarkLines();
  channel.session.reset();
  EXPECT_EQ(Shown(PerformHandshake(channel)), 0);
  ExpectFailureTexts();
}

TEST_F(HandshakeTest, TargetNameComesFromTheKeyOfTheCurrentMode) {
  App().isPostXp = 0;
  fakes.profile.Set(u"CAFECertNameSHA1", u"legacy.example.test");
  ASSERT_EQ(Shown(PerformHandshake(channel)), 1);
  App().forceSha256 = 1;
  ASSERT_EQ(Shown(PerformHandshake(channel)), 1);
  EXPECT_EQ(Tls().HandshakeTargets(),
            (std::vector<std::u16string>{u"legacy.example.test", u"ca.example.test"}));
}

TEST_F(HandshakeTest, HandshakeTextsInFrench) {
  UseFrench();
  Tls().handshakeResult = HandshakeResult::Failed;
  EXPECT_EQ(Shown(PerformHandshake(channel)), 0);
  EXPECT_EQ(StatusLine(), u"Échec de l'authentification du certificat.");
  EXPECT_EQ(DetailLine(), u"Mauvais certificat du serveur.");
}

}  // namespace
}  // namespace digital_id
