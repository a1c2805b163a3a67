#include "tests/unit/sspi_session_fixture.h"

namespace digital_id::sspi::testing {
namespace {

class SspiHandshakeTest : public SspiSessionTest {
 protected:
  const std::vector<Bytes> flights = ServerHandshakeFlights();
  const std::vector<HandshakeStep> script = DefaultHandshake();
};

TEST_F(SspiHandshakeTest, DefaultHandshakeCarriesEveryTokenAndLeavesNothingAllocated) {
  QueueServerHandshake(sockets);
  ASSERT_EQ(Handshake(), HandshakeResult::Ok);
  // TLS 1.2 on the client side only, with the package's own validation of the server and no
  // client certificate of its choosing.
  ASSERT_EQ(table->acquires.size(), 1u);
  EXPECT_EQ(table->acquires[0], std::make_pair(0x800u, 0x30u));

  ASSERT_EQ(table->calls.size(), 3u);
  EXPECT_TRUE(table->calls[0].firstCall);
  EXPECT_FALSE(table->calls[1].firstCall);
  for (const auto& call : table->calls) {
    EXPECT_EQ(call.requirements, 0xC11Cu);
    EXPECT_EQ(call.targetName, u"ca.example.test");
  }
  EXPECT_EQ(table->calls[1].input, flights[0]);
  EXPECT_EQ(table->calls[2].input, flights[1]);
  // The client's two flights went out whole, in order.
  EXPECT_EQ(sockets.SentBytes(), Joined({script[0].token, script[1].token}));
  EXPECT_EQ(table->freedTokens, 2);
  EXPECT_EQ(table->LiveTokens(), 0);
  EXPECT_EQ(table->LiveContexts(), 1);
  EXPECT_NE(session.PeerCertificate(), nullptr);
}

TEST_F(SspiHandshakeTest, FlightSplitOverReadsIsAppendedUntilWhole) {
  const Bytes& first = flights[0];
  sockets.QueueReceive(Bytes(first.begin(), first.begin() + 3));
  sockets.QueueReceive(Bytes(first.begin() + 3, first.begin() + 10));
  sockets.QueueReceive(Bytes(first.begin() + 10, first.end()));
  sockets.QueueReceive(flights[1]);
  ASSERT_EQ(Handshake(), HandshakeResult::Ok);

  ASSERT_EQ(table->calls.size(), 5u);
  EXPECT_EQ(table->calls[1].status, kSecEIncompleteMessage);
  EXPECT_EQ(table->calls[1].input.size(), 3u);
  EXPECT_EQ(table->calls[2].status, kSecEIncompleteMessage);
  EXPECT_EQ(table->calls[2].input.size(), 10u);
  EXPECT_EQ(table->calls[3].input, first);
  // Every read appends at the count, within the 65,536-byte buffer.
  EXPECT_EQ(sockets.ReceiveLengths(), (std::vector<int>{65536, 65533, 65526, 65536}));
  EXPECT_EQ(table->LiveTokens(), 0);
}

TEST_F(SspiHandshakeTest, RecordsBehindAConsumedRecordAreUsedWithoutAnotherRead) {
  sockets.QueueReceive(Joined({flights[0], flights[1]}));
  ASSERT_EQ(Handshake(), HandshakeResult::Ok);
  ASSERT_EQ(table->calls.size(), 3u);
  EXPECT_EQ(table->calls[2].input, flights[1]);
  EXPECT_EQ(sockets.ReceiveLengths().size(), 1u);
}

TEST_F(SspiHandshakeTest, BytesBehindTheServersFinishedAreTheFirstMessage) {
  sockets.QueueReceive(flights[0]);
  sockets.QueueReceive(Joined({flights[1], MakeRecord("EARLY;")}));
  ASSERT_EQ(Handshake(), HandshakeResult::Ok);
  Bytes message;
  ASSERT_EQ(session.Receive(message), ReceiveResult::Ok);
  EXPECT_EQ(message, Bytes({'E', 'A', 'R', 'L', 'Y', ';'}));
  EXPECT_EQ(sockets.ReceiveLengths().size(), 2u);
}

TEST_F(SspiHandshakeTest, ServerThatAsksForAClientCertificateIsAnsweredFromTheBytesAlreadyHeld) {
  // The package leaves the server's first flight unconsumed when it asks for credentials; the
  // next call with the same bytes goes on without a client certificate.
  table->handshake = {
      script[0], {kSecIIncompleteCredentials, {}, 0, false, true}, script[1], script[2]};
  QueueServerHandshake(sockets);
  ASSERT_EQ(Handshake(), HandshakeResult::Ok);
  ASSERT_EQ(table->calls.size(), 4u);
  EXPECT_EQ(table->calls[1].status, kSecIIncompleteCredentials);
  EXPECT_EQ(table->calls[1].input, flights[0]);
  EXPECT_EQ(table->calls[2].input, flights[0]);
  EXPECT_EQ(table->calls[3].input, flights[1]);
  // One read per server flight: none between the two calls on the first flight.
  EXPECT_EQ(sockets.ReceiveLengths().size(), 2u);
  EXPECT_EQ(sockets.SentBytes(), Joined({script[0].token, script[1].token}));
  EXPECT_EQ(table->LiveTokens(), 0);
}

TEST_F(SspiHandshakeTest, PackageThatAsksForCredentialsTwiceWithoutProgressGetsMoreBytes) {
  const HandshakeStep asks{kSecIIncompleteCredentials, {}, 0, false, true};
  table->handshake = {script[0], asks, asks, script[1], script[2]};
  QueueServerHandshake(sockets);
  ASSERT_EQ(Handshake(), HandshakeResult::Ok);
  ASSERT_EQ(table->calls.size(), 5u);
  // The first answer is retried on the same bytes without reading; only the second one reads.
  EXPECT_EQ(table->calls[2].status, kSecIIncompleteCredentials);
  EXPECT_EQ(table->calls[2].input, flights[0]);
  EXPECT_EQ(table->calls[3].input, Joined({flights[0], flights[1]}));
  EXPECT_EQ(table->calls[4].input, flights[1]);
  EXPECT_EQ(sockets.ReceiveLengths().size(), 2u);
  EXPECT_EQ(table->LiveTokens(), 0);
}

TEST_F(SspiHandshakeTest, TokenSendThatFailsEndsTheHandshakeAndDeletesTheContext) {
  // The client's first flight cannot be sent.
  sockets.QueueSendResult(kSocketError);
  EXPECT_EQ(Handshake(), HandshakeResult::Failed);
  EXPECT_EQ(table->deletedContexts, 1);
  EXPECT_TRUE(sockets.ReceiveLengths().empty());
  EXPECT_EQ(table->LiveTokens(), 0);

  // A send of nothing inside the loop fails the same way.
  QueueServerHandshake(sockets);
  sockets.QueueSendResult(1000);
  sockets.QueueSendResult(0);
  EXPECT_EQ(Handshake(), HandshakeResult::Failed);
  EXPECT_EQ(table->deletedContexts, 2);
  EXPECT_EQ(table->LiveContexts(), 0);
  EXPECT_EQ(table->LiveTokens(), 0);
  // The second attempt freed the first attempt's credentials before acquiring new ones.
  EXPECT_EQ(table->LiveCredentials(), 1);
}

TEST_F(SspiHandshakeTest, ShortTokenSendsAreContinued) {
  sockets.maxSendChunk = 3;
  QueueServerHandshake(sockets);
  ASSERT_EQ(Handshake(), HandshakeResult::Ok);
  EXPECT_EQ(sockets.SentBytes(), Joined({script[0].token, script[1].token}));
  const auto lengths = sockets.SendLengths();
  ASSERT_GE(lengths.size(), 2u);
  EXPECT_EQ(lengths[0], static_cast<int>(script[0].token.size()));
  EXPECT_EQ(lengths[1], static_cast<int>(script[0].token.size()) - 3);
}

TEST_F(SspiHandshakeTest, FlightThatDoesNotFitTheBufferFailsWhenItIsFull) {
  // A handshake record of 65,540 bytes can never be whole in 65,536.
  const Bytes huge = MakeHandshakeRecord(std::string(65535, 'h'));
  sockets.QueueReceive(Bytes(huge.begin(), huge.begin() + 40000));
  sockets.QueueReceive(Bytes(huge.begin() + 40000, huge.begin() + 65536));
  sockets.QueueReceive(Bytes(huge.begin() + 65536, huge.end()));
  EXPECT_EQ(Handshake(), HandshakeResult::Failed);
  EXPECT_EQ(table->calls.back().input.size(), 65536u);
  EXPECT_EQ(sockets.ReceiveLengths(), (std::vector<int>{65536, 25536}));
  EXPECT_EQ(sockets.PendingReceives(), 1u);
  EXPECT_EQ(table->LiveContexts(), 0);
}

TEST_F(SspiHandshakeTest, RefusedCertificateSendsTheAlertThePackagePrepared) {
  table->handshake = {script[0], RejectedCertificateStep()};
  sockets.QueueReceive(flights[0]);
  EXPECT_EQ(Handshake(), HandshakeResult::CertificateRefused);
  const auto records = ParseRecords(sockets.SentBytes());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].type, kAlertType);
  EXPECT_EQ(records[1].body, (Bytes{2, 48}));
  EXPECT_EQ(table->deletedContexts, 1);
  EXPECT_EQ(table->LiveTokens(), 0);
  EXPECT_EQ(session.PeerCertificate(), nullptr);

  // Without the extended-error flag the token is not the server's.
  HandshakeStep silent = RejectedCertificateStep();
  silent.extendedError = false;
  table->handshake = {script[0], silent};
  sockets.QueueReceive(flights[0]);
  const std::size_t sentBefore = sockets.SentBytes().size();
  EXPECT_EQ(Handshake(), HandshakeResult::CertificateRefused);
  EXPECT_EQ(sockets.SentBytes().size(), sentBefore + script[0].token.size());
  EXPECT_EQ(table->LiveTokens(), 0);
}

TEST_F(SspiHandshakeTest, ServerCloseReadErrorAndFailedCredentialsFailTheHandshake) {
  sockets.QueueReceive(flights[0]);
  sockets.QueueClose();
  EXPECT_EQ(Handshake(), HandshakeResult::Failed);
  EXPECT_EQ(table->LiveContexts(), 0);
  EXPECT_EQ(sockets.ReceiveLengths().size(), 2u);

  fake::FakeSockets failing;
  SspiTlsSession other(table, failing);
  failing.QueueReceiveError();
  EXPECT_EQ(other.Handshake(failing.CreateTcpSocket(), u"ca.example.test"),
            HandshakeResult::Failed);
  EXPECT_EQ(table->LiveContexts(), 0);
  EXPECT_EQ(failing.ReceiveLengths().size(), 1u);

  // Credentials that could not be acquired fail the first call: nothing is exchanged.
  fake::FakeSockets unused;
  SspiTlsSession third(table, unused);
  table->acquireStatus = kSecENoCredentials;
  EXPECT_EQ(third.Handshake(unused.CreateTcpSocket(), u"ca.example.test"), HandshakeResult::Failed);
  EXPECT_TRUE(unused.SentBytes().empty());
  EXPECT_TRUE(unused.ReceiveLengths().empty());
}

TEST_F(SspiHandshakeTest, TargetNameThatChecksNothingIsRefusedBeforeAnyExchange) {
  QueueServerHandshake(sockets);
  for (const std::u16string& name : {std::u16string(), std::u16string(u"ca.example.test\0x", 17)}) {
    EXPECT_EQ(session.Handshake(socket, name), HandshakeResult::CertificateRefused);
  }
  EXPECT_TRUE(table->acquires.empty());
  EXPECT_TRUE(table->calls.empty());
  EXPECT_TRUE(sockets.SentBytes().empty());
  EXPECT_TRUE(sockets.ReceiveLengths().empty());
}

TEST_F(SspiHandshakeTest, ContextCompleteAtTheFirstCallNeedsNoExchange) {
  table->handshake = {{kSecEOk, MakeHandshakeRecord("unused"), 0}};
  ASSERT_EQ(Handshake(), HandshakeResult::Ok);
  EXPECT_TRUE(sockets.SentBytes().empty());
  EXPECT_EQ(table->LiveTokens(), 0);
}

TEST(SspiHandshakeResults, CertificateStatusesAreRefusalsAndTheRestFailures) {
  EXPECT_EQ(HandshakeResultOf(kSecEOk), HandshakeResult::Ok);
  for (const SecStatus refused :
       {kSecEUntrustedRoot, kSecEWrongPrincipal, kSecECertExpired, kSecECertUnknown}) {
    EXPECT_EQ(HandshakeResultOf(refused), HandshakeResult::CertificateRefused) << refused;
  }
  for (const SecStatus failed : {kSecEInternalError, kSecEIllegalMessage, kSecENoCredentials,
                                 kSecEInvalidToken, kSecIContinueNeeded}) {
    EXPECT_EQ(HandshakeResultOf(failed), HandshakeResult::Failed) << failed;
  }
}

}  // namespace
}  // namespace digital_id::sspi::testing
