#include <algorithm>
#include <span>
#include <string>

#include "platform/win/sspi/sspi_records.h"
#include "tests/unit/sspi_session_fixture.h"

namespace digital_id::sspi::testing {
namespace {

class SspiRecordsTest : public SspiSessionTest {
 protected:
  void SetUp() override { Establish(); }

  SendResult Send(const std::string& message) {
    return session.Send(
        std::span(reinterpret_cast<const std::uint8_t*>(message.data()), message.size()));
  }
  // The next message as text; the result of the receive in result.
  std::string Receive(ReceiveResult& result) {
    Bytes message;
    result = session.Receive(message);
    return std::string(message.begin(), message.end());
  }
  std::string ReceiveOk() {
    ReceiveResult result = ReceiveResult::Unreadable;
    const std::string message = Receive(result);
    EXPECT_EQ(result, ReceiveResult::Ok);
    return message;
  }
  std::vector<int> ReadsSinceHandshake() const {
    const std::vector<int> all = sockets.ReceiveLengths();
    return std::vector<int>(all.begin() + 2, all.end());  // the handshake took two reads
  }
};

// Largest message with the scripted package's 5-byte header and 16-byte trailer.
constexpr std::size_t kLargestMessage = kSendBufferSize - kHeaderSize - kTrailerSize;

TEST_F(SspiRecordsTest, MessageIsSentAsOneEncryptedRecordInOneSend) {
  const std::size_t sendsBefore = sockets.SendLengths().size();
  ASSERT_EQ(Send("REQ;secret-code"), SendResult::Ok);
  const Bytes sent = SentSinceHandshake();
  EXPECT_EQ(sent, MakeRecord("REQ;secret-code"));
  const std::string secret = "secret-code";
  EXPECT_EQ(std::search(sent.begin(), sent.end(), secret.begin(), secret.end()), sent.end());
  EXPECT_EQ(sockets.SendLengths().size(), sendsBefore + 1);
}

TEST_F(SspiRecordsTest, LargestMessageThatFitsTheSendAreaIsOneRecord) {
  const std::string message(kLargestMessage, 'm');
  ASSERT_EQ(Send(message), SendResult::Ok);
  EXPECT_EQ(SentSinceHandshake().size(), kSendBufferSize);
  EXPECT_EQ(ClientMessages(SentSinceHandshake()), std::vector<std::string>{message});

  // The bytes on the wire follow the trailer length the encryption reports.
  table->trailerUsed = 10;
  ASSERT_EQ(Send(message), SendResult::Ok);
  EXPECT_EQ(SentSinceHandshake().size(), kSendBufferSize + kHeaderSize + kLargestMessage + 10);
  EXPECT_EQ(ClientMessages(SentSinceHandshake()), (std::vector<std::string>{message, message}));
}

TEST_F(SspiRecordsTest, MessageThatDoesNotFitOrCannotBeEncryptedIsNeverSent) {
  EXPECT_EQ(Send(std::string(kLargestMessage + 1, 'm')), SendResult::EncryptFailed);
  EXPECT_EQ(table->encrypts, 0);
  table->encryptStatus = kSecEInternalError;
  EXPECT_EQ(Send("REQ;secret-code"), SendResult::EncryptFailed);
  EXPECT_EQ(table->encrypts, 1);
  EXPECT_TRUE(SentSinceHandshake().empty());
}

TEST_F(SspiRecordsTest, ShortSendsAreContinuedUntilTheRecordIsOut) {
  sockets.maxSendChunk = 100;
  const std::size_t sendsBefore = sockets.SendLengths().size();
  const std::string message(1000, 'q');
  ASSERT_EQ(Send(message), SendResult::Ok);
  EXPECT_EQ(SentSinceHandshake(), MakeRecord(message));
  EXPECT_EQ(sockets.SendLengths().size(), sendsBefore + 11);
}

TEST_F(SspiRecordsTest, SendErrorOrNothingSentIsASendFailure) {
  sockets.QueueSendResult(kSocketError);
  EXPECT_EQ(Send("CLTACK;"), SendResult::SendFailed);
  sockets.QueueSendResult(7);
  sockets.QueueSendResult(0);
  EXPECT_EQ(Send("CLTACK;"), SendResult::SendFailed);
}

TEST_F(SspiRecordsTest, ReplyIsDecryptedWhole) {
  sockets.QueueReceive(MakeRecord(Bytes{'S', 'R', 0, 0xE9}));
  Bytes message;
  ASSERT_EQ(session.Receive(message), ReceiveResult::Ok);
  EXPECT_EQ(message, (Bytes{'S', 'R', 0, 0xE9}));
  EXPECT_EQ(ReadsSinceHandshake(), std::vector<int>{65535});
}

TEST_F(SspiRecordsTest, TwoRepliesInOneReadAreReturnedInTurn) {
  sockets.QueueReceive(Joined({MakeRecord("SRVACK;"), MakeRecord("ISSUED;certificate")}));
  EXPECT_EQ(ReceiveOk(), "SRVACK;");
  EXPECT_EQ(ReceiveOk(), "ISSUED;certificate");
  EXPECT_EQ(ReadsSinceHandshake().size(), 1u);
}

TEST_F(SspiRecordsTest, SplitRecordIsCompletedByFurtherReads) {
  const Bytes record = MakeRecord("SRVACK;");
  sockets.QueueReceive(Bytes(record.begin(), record.begin() + 2));
  sockets.QueueReceive(Bytes(record.begin() + 2, record.begin() + 9));
  sockets.QueueReceive(Bytes(record.begin() + 9, record.end()));
  EXPECT_EQ(ReceiveOk(), "SRVACK;");
  EXPECT_EQ(ReadsSinceHandshake(), (std::vector<int>{65535, 65534, 65527}));

  // An issued certificate spans many segments.
  const std::string large = "ISSUED;" + std::string(12000, 'c');
  const Bytes big = MakeRecord(large);
  for (std::size_t at = 0; at < big.size(); at += 1460) {
    sockets.QueueReceive(
        Bytes(big.begin() + static_cast<std::ptrdiff_t>(at),
              big.begin() + static_cast<std::ptrdiff_t>(std::min(big.size(), at + 1460))));
  }
  EXPECT_EQ(ReceiveOk(), large);
  EXPECT_EQ(sockets.PendingReceives(), 0u);
}

TEST_F(SspiRecordsTest, ServerCloseEndsTheReceiveAlsoInTheMiddleOfAKeptRecord) {
  const Bytes record = MakeRecord("ISSUED;");
  sockets.QueueReceive(Joined({MakeRecord("SRVACK;"), Bytes(record.begin(), record.begin() + 4)}));
  sockets.QueueClose();
  EXPECT_EQ(ReceiveOk(), "SRVACK;");
  ReceiveResult result = ReceiveResult::Ok;
  EXPECT_EQ(Receive(result), "");
  EXPECT_EQ(result, ReceiveResult::Closed);
  EXPECT_EQ(ReadsSinceHandshake(), (std::vector<int>{65535, 65532}));
}

TEST_F(SspiRecordsTest, ReadErrorIsAReceiveFailureAlsoAfterAPartialRecord) {
  const Bytes record = MakeRecord("SRVACK;");
  sockets.QueueReceive(Bytes(record.begin(), record.begin() + 6));
  sockets.QueueReceiveError();
  ReceiveResult result = ReceiveResult::Ok;
  EXPECT_EQ(Receive(result), "");
  EXPECT_EQ(result, ReceiveResult::ReceiveFailed);
}

TEST_F(SspiRecordsTest, RecordsThatDoNotDecryptOrCarryNoDataAreUnreadable) {
  Bytes corrupt = MakeRecord("SRVACK;");
  corrupt.back() ^= 0xFF;
  sockets.QueueReceive(Joined({corrupt, MakeRecord("ISSUED;")}));
  ReceiveResult result = ReceiveResult::Ok;
  EXPECT_EQ(Receive(result), "");
  EXPECT_EQ(result, ReceiveResult::Unreadable);
  // The record behind it still counts.
  EXPECT_EQ(ReceiveOk(), "ISSUED;");

  // The server's alert carries no message.
  sockets.QueueReceive(MakeAlertRecord(1, 0));
  EXPECT_EQ(Receive(result), "");
  EXPECT_EQ(result, ReceiveResult::Unreadable);
  // A header announcing more than the receive area holds ends the receive at once.
  sockets.QueueReceive(Bytes{0x17, 0x03, 0x03, 0xFF, 0xFF, 1, 2, 3});
  EXPECT_EQ(Receive(result), "");
  EXPECT_EQ(result, ReceiveResult::Unreadable);
}

TEST_F(SspiRecordsTest, CloseReleasesCredentialsAndContextOnceAndSendsNothing) {
  const std::size_t sent = sockets.SentBytes().size();
  session.Close();
  session.Close();
  EXPECT_EQ(table->freedCredentials, 1);
  EXPECT_EQ(table->deletedContexts, 1);
  EXPECT_EQ(table->LiveCredentials(), 0);
  EXPECT_EQ(table->LiveContexts(), 0);
  EXPECT_EQ(table->invalidHandles, 0);
  EXPECT_EQ(sockets.SentBytes().size(), sent);
  EXPECT_EQ(sockets.SocketsClosed(), 0);  // the socket stays the caller's
  // Nothing is left to send or receive with.
  EXPECT_EQ(session.PeerCertificate(), nullptr);
  EXPECT_EQ(Send("CLTACK;"), SendResult::EncryptFailed);
  ReceiveResult result = ReceiveResult::Ok;
  Receive(result);
  EXPECT_EQ(result, ReceiveResult::Unreadable);

  // A session that goes away without Close releases the same.
  {
    SspiTlsSession forgotten(table, sockets);
    QueueServerHandshake(sockets);
    ASSERT_EQ(forgotten.Handshake(socket, u"ca.example.test"), HandshakeResult::Ok);
  }
  EXPECT_EQ(table->LiveCredentials(), 0);
  EXPECT_EQ(table->LiveContexts(), 0);
}

}  // namespace
}  // namespace digital_id::sspi::testing
