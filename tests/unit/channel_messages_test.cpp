#include "tests/unit/channel_test_fixture.h"

namespace digital_id {
namespace {

class MessagesTest : public ChannelTest {
 protected:
  void SetUp() override {
    ChannelTest::SetUp();
    Establish();
    MarkLines();
  }
  void ExpectSendFailureTexts() const {
    EXPECT_EQ(StatusLine(), u"Connection closed.");
    EXPECT_EQ(DetailLine(), u"Unable to send message to the server.");
  }
  void ExpectReceiveFailureTexts() const {
    EXPECT_EQ(StatusLine(), u"Connection closed.");
    EXPECT_EQ(DetailLine(), u"Unable to receive message from the server.");
  }
};

TEST_F(MessagesTest, MessageIsSentWholeWithoutAnyText) {
  ASSERT_EQ(Shown(SendSecureMessage(channel, "REQ;secret-code")), 1);
  EXPECT_EQ(Tls().SentMessages(), std::vector<std::string>{"REQ;secret-code"});
  EXPECT_TRUE(LinesUnchanged());
}

TEST_F(MessagesTest, MessageThatCannotBeEncryptedOrSentShowsSendFailure) {
  for (const SendResult result : {SendResult::EncryptFailed, SendResult::SendFailed}) {
    MarkLines();
    Tls().QueueSendResult(result);
    EXPECT_EQ(Shown(SendSecureMessage(channel, "CLTACK;")), 0);
    ExpectSendFailureTexts();
  }
  UseFrench();
  Tls().QueueSendResult(SendResult::SendFailed);
  EXPECT_EQ(Shown(SendSecureMessage(channel, "CLTACK;")), 0);
  EXPECT_EQ(StatusLine(), u"Fermeture de la connexion.");
  EXPECT_EQ(DetailLine(), u"Incapable d'envoyer un message au serveur.");
  EXPECT_TRUE(Tls().SentMessages().empty());
}

TEST_F(MessagesTest, ReplyIsReturnedWithoutAnyText) {
  Tls().QueueMessage("SRVACK;");
  EXPECT_EQ(ReceiveSecureMessage(channel), u"SRVACK;");
  EXPECT_TRUE(LinesUnchanged());
}

TEST_F(MessagesTest, ZeroByteCutsTheReplyAndHighBytesAreSignExtended) {
  Tls().QueueMessage(Bytes{'A', 'B', 0, 'C'});
  EXPECT_EQ(ReceiveSecureMessage(channel), u"AB");
  Tls().QueueMessage(Bytes{0xE9, 'a', 0x80, 0xFF, 0x7F});
  EXPECT_EQ(ReceiveSecureMessage(channel), (std::u16string{0xFFE9, u'a', 0xFF80, 0xFFFF, 0x7F}));
}

TEST_F(MessagesTest, ServerCloseAndUnreadableRecordsYieldEmptyTextAndLeaveTheLines) {
  Tls().QueueReceive(ReceiveResult::Closed);
  Tls().QueueReceive(ReceiveResult::Unreadable);
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  EXPECT_TRUE(LinesUnchanged());
}

TEST_F(MessagesTest, ReadErrorShowsReceiveFailure) {
  Tls().QueueReceive(ReceiveResult::ReceiveFailed);
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  ExpectReceiveFailureTexts();

  UseFrench();
  Tls().QueueReceive(ReceiveResult::ReceiveFailed);
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  EXPECT_EQ(StatusLine(), u"Fermeture de la connexion.");
  EXPECT_EQ(DetailLine(), u"Incapable de recevoir le message du serveur.");
}

TEST_F(MessagesTest, ChannelWithoutASessionSendsAndReceivesNothing) {
  channel.session.reset();
  EXPECT_EQ(Shown(SendSecureMessage(channel, "CLTACK;")), 0);
  ExpectSendFailureTexts();
  MarkLines();
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  EXPECT_TRUE(LinesUnchanged());
  EXPECT_EQ(Tls().ReceiveCalls(), 0);
}

}  // namespace
}  // namespace digital_id
