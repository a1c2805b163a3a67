#include <algorithm>

#include "channel/secure_messages.h"
#include "tests/unit/channel_test_fixture.h"

namespace digital_id {
namespace {

using fake::MakeFakeRecord;

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
  static bool Contains(const Bytes& haystack, const std::string& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
  }
};

// Largest message with the fake engine's 5-byte header and 16-byte trailer.
constexpr std::size_t kLargestMessage = kSendBufferSize - 5 - 16;

TEST_F(MessagesTest, MessageIsSentAsOneEncryptedRecord) {
  ASSERT_EQ(SendSecureMessage(channel, "REQ;secret-code"), 1);
  const Bytes sent = fakes.sockets.SentBytes();
  EXPECT_EQ(sent, MakeFakeRecord("REQ;secret-code"));
  EXPECT_FALSE(Contains(sent, "secret-code"));
  EXPECT_EQ(fakes.sockets.SendLengths().size(), 1u);
  EXPECT_TRUE(LinesUnchanged());
}

TEST_F(MessagesTest, LargestMessageThatFitsIsOneRecord) {
  const std::string message(kLargestMessage, 'm');
  ASSERT_EQ(SendSecureMessage(channel, message), 1);
  EXPECT_EQ(fakes.sockets.SentBytes().size(), kSendBufferSize);
  EXPECT_EQ(fake::SentClientMessages(fakes.sockets), std::vector<std::string>{message});

  // The bytes on the wire follow the trailer length the encryption reports.
  Security().trailerUsed = 10;
  ASSERT_EQ(SendSecureMessage(channel, message), 1);
  EXPECT_EQ(fakes.sockets.SentBytes().size(), kSendBufferSize + 5 + kLargestMessage + 10);
  EXPECT_EQ(fake::SentClientMessages(fakes.sockets), (std::vector<std::string>{message, message}));
}

TEST_F(MessagesTest, MessageThatDoesNotFitIsRefused) {
  EXPECT_EQ(SendSecureMessage(channel, std::string(kLargestMessage + 1, 'm')), 0);
  ExpectSendFailureTexts();
  EXPECT_TRUE(fakes.sockets.SendLengths().empty());
  EXPECT_EQ(Security().EncryptCount(), 0);
}

TEST_F(MessagesTest, ShortSendsAreContinuedUntilTheRecordIsOut) {
  fakes.sockets.maxSendChunk = 100;
  const std::string message(1000, 'q');
  ASSERT_EQ(SendSecureMessage(channel, message), 1);
  EXPECT_EQ(fakes.sockets.SentBytes(), MakeFakeRecord(message));
  EXPECT_EQ(fakes.sockets.SendLengths().size(), 11u);
  EXPECT_TRUE(LinesUnchanged());
}

TEST_F(MessagesTest, SendErrorOrNothingSentShowsSendFailure) {
  fakes.sockets.QueueSendResult(kSocketError);
  EXPECT_EQ(SendSecureMessage(channel, "CLTACK;"), 0);
  ExpectSendFailureTexts();

  MarkLines();
  fakes.sockets.QueueSendResult(7);
  fakes.sockets.QueueSendResult(0);
  EXPECT_EQ(SendSecureMessage(channel, "CLTACK;"), 0);
  ExpectSendFailureTexts();

  UseFrench();
  fakes.sockets.QueueSendResult(kSocketError);
  EXPECT_EQ(SendSecureMessage(channel, "CLTACK;"), 0);
  EXPECT_EQ(StatusLine(), u"Fermeture de la connexion.");
  EXPECT_EQ(DetailLine(), u"Incapable d'envoyer un message au serveur.");
}

TEST_F(MessagesTest, MessageThatCannotBeEncryptedIsNeverSent) {
  Security().encryptStatus = kSecEInternalError;
  EXPECT_EQ(SendSecureMessage(channel, "REQ;secret-code"), 0);
  ExpectSendFailureTexts();
  EXPECT_TRUE(fakes.sockets.SentBytes().empty());
}

TEST_F(MessagesTest, ReplyIsDecryptedWithoutAnyText) {
  fake::QueueServerMessage(fakes.sockets, "SRVACK;");
  EXPECT_EQ(ReceiveSecureMessage(channel), u"SRVACK;");
  EXPECT_TRUE(LinesUnchanged());
  EXPECT_TRUE(channel.pendingBytes.empty());
  EXPECT_EQ(fakes.sockets.ReceiveLengths(), std::vector<int>{65535});
}

TEST_F(MessagesTest, TwoRepliesInOneReadAreReturnedInTurn) {
  fakes.sockets.QueueReceive(
      fake::Joined({MakeFakeRecord("SRVACK;"), MakeFakeRecord("ISSUED;certificate")}));
  EXPECT_EQ(ReceiveSecureMessage(channel), u"SRVACK;");
  EXPECT_FALSE(channel.pendingBytes.empty());
  EXPECT_EQ(ReceiveSecureMessage(channel), u"ISSUED;certificate");
  EXPECT_EQ(fakes.sockets.ReceiveLengths().size(), 1u);
  EXPECT_TRUE(channel.pendingBytes.empty());
}

TEST_F(MessagesTest, SplitRecordIsCompletedByFurtherReads) {
  const Bytes record = MakeFakeRecord("SRVACK;");
  fakes.sockets.QueueReceive(Bytes(record.begin(), record.begin() + 2));
  fakes.sockets.QueueReceive(Bytes(record.begin() + 2, record.begin() + 9));
  fakes.sockets.QueueReceive(Bytes(record.begin() + 9, record.end()));
  EXPECT_EQ(ReceiveSecureMessage(channel), u"SRVACK;");
  EXPECT_EQ(fakes.sockets.ReceiveLengths(), (std::vector<int>{65535, 65534, 65527}));

  // An issued certificate spans many segments.
  std::string large(12000, 'c');
  const Bytes big = MakeFakeRecord("ISSUED;" + large);
  for (std::size_t at = 0; at < big.size(); at += 1460) {
    fakes.sockets.QueueReceive(
        Bytes(big.begin() + at, big.begin() + std::min(big.size(), at + 1460)));
  }
  EXPECT_EQ(ReceiveSecureMessage(channel), u"ISSUED;" + std::u16string(large.begin(), large.end()));
  EXPECT_EQ(fakes.sockets.PendingReceives(), 0u);
}

TEST_F(MessagesTest, ZeroByteCutsTheReply) {
  fakes.sockets.QueueReceive(MakeFakeRecord(Bytes{'A', 'B', 0, 'C'}));
  EXPECT_EQ(ReceiveSecureMessage(channel), u"AB");
}

TEST_F(MessagesTest, HighBytesAreSignExtended) {
  fakes.sockets.QueueReceive(MakeFakeRecord(Bytes{0xE9, 'a', 0x80, 0xFF, 0x7F}));
  EXPECT_EQ(ReceiveSecureMessage(channel), (std::u16string{0xFFE9, u'a', 0xFF80, 0xFFFF, 0x7F}));
}

TEST_F(MessagesTest, ServerCloseYieldsEmptyTextAndLeavesTheLines) {
  fakes.sockets.QueueClose();
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  EXPECT_TRUE(LinesUnchanged());

  // Also when it closed in the middle of a record kept from the previous read.
  const Bytes record = MakeFakeRecord("SRVACK;");
  channel.pendingBytes.assign(record.begin(), record.begin() + 4);
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  EXPECT_TRUE(LinesUnchanged());
  EXPECT_EQ(fakes.sockets.ReceiveLengths(), (std::vector<int>{65535, 65532}));
}

TEST_F(MessagesTest, ReadErrorShowsReceiveFailure) {
  fakes.sockets.QueueReceiveError();
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  ExpectReceiveFailureTexts();

  MarkLines();
  const Bytes record = MakeFakeRecord("SRVACK;");
  fakes.sockets.QueueReceive(Bytes(record.begin(), record.begin() + 6));
  fakes.sockets.QueueReceiveError();
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  ExpectReceiveFailureTexts();

  UseFrench();
  fakes.sockets.QueueReceiveError();
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  EXPECT_EQ(StatusLine(), u"Fermeture de la connexion.");
  EXPECT_EQ(DetailLine(), u"Incapable de recevoir le message du serveur.");
}

TEST_F(MessagesTest, RecordThatFailsToDecryptYieldsEmptyTextAndTheNextOneStillCounts) {
  Bytes corrupt = MakeFakeRecord("SRVACK;");
  corrupt.back() ^= 0xFF;
  fakes.sockets.QueueReceive(fake::Joined({corrupt, MakeFakeRecord("ISSUED;")}));
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  EXPECT_TRUE(LinesUnchanged());
  EXPECT_EQ(ReceiveSecureMessage(channel), u"ISSUED;");
}

TEST_F(MessagesTest, RecordsWithoutDataYieldEmptyText) {
  // The server's alert carries no message.
  fakes.sockets.QueueReceive(fake::MakeFakeAlertRecord(1, 0));
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  // A header announcing more than the receive area holds ends the receive at once.
  fakes.sockets.QueueReceive(Bytes{0x17, 0x03, 0x03, 0xFF, 0xFF, 1, 2, 3});
  EXPECT_EQ(ReceiveSecureMessage(channel), u"");
  EXPECT_TRUE(LinesUnchanged());
}

}  // namespace
}  // namespace digital_id
