#include "channel/handshake.h"
#include "tests/unit/channel_test_fixture.h"

namespace digital_id {
namespace {

using fake::FakeHandshakeStep;
using fake::MakeFakeHandshakeRecord;

class HandshakeTest : public ChannelTest {
 protected:
  void SetUp() override {
    ChannelTest::SetUp();
    AcquireCredentials();
    MarkLines();
  }
  std::vector<Bytes> flights = fake::FakeServerHandshakeFlights();
  const std::vector<FakeHandshakeStep> script = fake::DefaultFakeHandshake();

  void ExpectFailureTexts() const {
    EXPECT_EQ(StatusLine(), u"Certificate authentication failed.");
    EXPECT_EQ(DetailLine(), u"Bad server certificate encountered.");
  }
  // Nothing the engine handed out is left unfreed.
  void ExpectNoTokenLeft() { EXPECT_EQ(Security().LiveTokens(), 0); }
};

TEST_F(HandshakeTest, DefaultHandshakeCompletesWithoutChangingTheLines) {
  fake::QueueServerHandshake(fakes.sockets);
  ASSERT_EQ(PerformHandshake(channel), 1);
  EXPECT_TRUE(LinesUnchanged());
  EXPECT_TRUE(channel.contextHandle.IsSet());
  EXPECT_EQ(Security().LiveContexts(), 1);
  EXPECT_EQ(Security().DeleteContextCount(), 0);

  const auto calls = Security().HandshakeCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(calls[0].firstCall);
  EXPECT_FALSE(calls[1].firstCall);
  for (const auto& call : calls) {
    EXPECT_EQ(call.requirements, 0xC11Cu);
    EXPECT_EQ(call.targetName, u"ca.example.test");
  }
  EXPECT_EQ(calls[1].input, flights[0]);
  EXPECT_EQ(calls[2].input, flights[1]);
  // The client's two flights went out whole, in order.
  EXPECT_EQ(fakes.sockets.SentBytes(), fake::Joined({script[0].token, script[1].token}));
  EXPECT_EQ(Security().FreeContextBufferCount(), 2);
  ExpectNoTokenLeft();
}

TEST_F(HandshakeTest, FlightSplitOverReadsIsAppendedUntilWhole) {
  const Bytes& first = flights[0];
  fakes.sockets.QueueReceive(Bytes(first.begin(), first.begin() + 3));
  fakes.sockets.QueueReceive(Bytes(first.begin() + 3, first.begin() + 10));
  fakes.sockets.QueueReceive(Bytes(first.begin() + 10, first.end()));
  fakes.sockets.QueueReceive(flights[1]);
  ASSERT_EQ(PerformHandshake(channel), 1);

  const auto calls = Security().HandshakeCalls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[1].status, kSecEIncompleteMessage);
  EXPECT_EQ(calls[1].input.size(), 3u);
  EXPECT_EQ(calls[2].status, kSecEIncompleteMessage);
  EXPECT_EQ(calls[2].input.size(), 10u);
  EXPECT_EQ(calls[3].input, first);
  // Every read appends at the count, within the 65,536-byte buffer.
  EXPECT_EQ(fakes.sockets.ReceiveLengths(), (std::vector<int>{65536, 65533, 65526, 65536}));
  ExpectNoTokenLeft();
}

TEST_F(HandshakeTest, RecordsBehindAConsumedRecordAreUsedWithoutAnotherRead) {
  fakes.sockets.QueueReceive(fake::Joined({flights[0], flights[1]}));
  ASSERT_EQ(PerformHandshake(channel), 1);
  const auto calls = Security().HandshakeCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2].input, flights[1]);
  EXPECT_EQ(fakes.sockets.ReceiveLengths().size(), 1u);
}

TEST_F(HandshakeTest, ExtraBytesAfterFinishedAreDiscarded) {
  fakes.sockets.QueueReceive(flights[0]);
  fakes.sockets.QueueReceive(fake::Joined({flights[1], fake::MakeFakeRecord("EARLY;")}));
  ASSERT_EQ(PerformHandshake(channel), 1);
  EXPECT_TRUE(channel.pendingBytes.empty());

  fake::QueueServerMessage(fakes.sockets, "NEXT;");
  EXPECT_EQ(ReceiveSecureMessage(channel), u"NEXT;");

  // The loop itself hands the extra bytes out.
  SecureChannel other;
  Security().AcquireCredentialsHandle(kSpProtTls12, kSchCredAutoCredValidation,
                                      &other.credentialHandle);
  other.serverSocket = fakes.sockets.CreateTcpSocket();
  fakes.sockets.QueueReceive(flights[0]);
  fakes.sockets.QueueReceive(fake::Joined({flights[1], Bytes{1, 2, 3}}));
  std::vector<std::uint8_t> extra;
  EXPECT_EQ(StartHandshake(other, extra), kSecEOk);
  EXPECT_EQ(extra, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(HandshakeTest, TokenSendThatFailsEndsTheHandshakeAndDeletesTheContext) {
  // The client's first flight cannot be sent.
  fakes.sockets.QueueSendResult(kSocketError);
  EXPECT_EQ(PerformHandshake(channel), 0);
  ExpectFailureTexts();
  EXPECT_FALSE(channel.contextHandle.IsSet());
  EXPECT_EQ(Security().DeleteContextCount(), 1);
  EXPECT_TRUE(fakes.sockets.ReceiveLengths().empty());
  ExpectNoTokenLeft();

  // A send of nothing inside the loop fails the same way.
  MarkLines();
  fake::QueueServerHandshake(fakes.sockets);
  fakes.sockets.QueueSendResult(1000);
  fakes.sockets.QueueSendResult(0);
  EXPECT_EQ(PerformHandshake(channel), 0);
  ExpectFailureTexts();
  EXPECT_EQ(Security().DeleteContextCount(), 2);
  EXPECT_EQ(Security().LiveContexts(), 0);
  ExpectNoTokenLeft();
}

TEST_F(HandshakeTest, ShortTokenSendsAreContinued) {
  fakes.sockets.maxSendChunk = 3;
  fake::QueueServerHandshake(fakes.sockets);
  ASSERT_EQ(PerformHandshake(channel), 1);
  EXPECT_EQ(fakes.sockets.SentBytes(), fake::Joined({script[0].token, script[1].token}));
  const auto lengths = fakes.sockets.SendLengths();
  ASSERT_GE(lengths.size(), 2u);
  EXPECT_EQ(lengths[0], static_cast<int>(script[0].token.size()));
  EXPECT_EQ(lengths[1], static_cast<int>(script[0].token.size()) - 3);
}

TEST_F(HandshakeTest, FlightThatDoesNotFitTheBufferFailsWhenItIsFull) {
  // A handshake record of 65,540 bytes can never be whole in 65,536.
  Bytes huge = MakeFakeHandshakeRecord(std::string(65535, 'h'));
  fakes.sockets.QueueReceive(Bytes(huge.begin(), huge.begin() + 40000));
  fakes.sockets.QueueReceive(Bytes(huge.begin() + 40000, huge.begin() + 65536));
  fakes.sockets.QueueReceive(Bytes(huge.begin() + 65536, huge.end()));
  EXPECT_EQ(PerformHandshake(channel), 0);
  ExpectFailureTexts();
  const auto calls = Security().HandshakeCalls();
  EXPECT_EQ(calls.back().input.size(), 65536u);
  EXPECT_EQ(fakes.sockets.ReceiveLengths(), (std::vector<int>{65536, 25536}));
  EXPECT_EQ(fakes.sockets.PendingReceives(), 1u);
  EXPECT_EQ(Security().LiveContexts(), 0);
}

TEST_F(HandshakeTest, IncompleteCredentialsCallAgainWithTheSameBytesWithoutReading) {
  // The server's first flight asks for an optional client certificate; the package answers
  // incomplete credentials without consuming it, and goes on when called again.
  Security().handshake = {
      script[0], {kSecIIncompleteCredentials, {}, 1, false}, script[1], script[2]};
  fake::QueueServerHandshake(fakes.sockets);
  ASSERT_EQ(PerformHandshake(channel), 1);
  const auto calls = Security().HandshakeCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1].status, kSecIIncompleteCredentials);
  EXPECT_EQ(calls[1].input, flights[0]);
  EXPECT_EQ(calls[2].input, flights[0]);
  EXPECT_EQ(calls[3].input, flights[1]);
  // One read per server flight: none between the two calls on the first flight.
  EXPECT_EQ(fakes.sockets.ReceiveLengths().size(), 2u);
  EXPECT_EQ(fakes.sockets.SentBytes(), fake::Joined({script[0].token, script[1].token}));
  ExpectNoTokenLeft();
}

TEST_F(HandshakeTest, IncompleteCredentialsTwiceFailTheHandshake) {
  const FakeHandshakeStep askForCertificate{kSecIIncompleteCredentials, {}, 1, false};
  Security().handshake = {script[0], askForCertificate, askForCertificate, script[1], script[2]};
  fake::QueueServerHandshake(fakes.sockets);
  EXPECT_EQ(PerformHandshake(channel), 0);
  ExpectFailureTexts();
  EXPECT_EQ(Security().HandshakeCalls().size(), 3u);
  EXPECT_EQ(fakes.sockets.ReceiveLengths().size(), 1u);
  EXPECT_EQ(Security().LiveContexts(), 0);
  ExpectNoTokenLeft();
}

TEST_F(HandshakeTest, FailureWithExtendedErrorSendsTheAlert) {
  Security().handshake = {script[0], fake::FakeRejectedCertificateStep()};
  fakes.sockets.QueueReceive(flights[0]);
  EXPECT_EQ(PerformHandshake(channel), 0);
  ExpectFailureTexts();
  const auto records = fake::ParseFakeRecords(fakes.sockets.SentBytes());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].type, fake::kFakeAlertType);
  EXPECT_EQ(records[1].body, (Bytes{2, 48}));
  EXPECT_EQ(Security().DeleteContextCount(), 1);
  EXPECT_FALSE(channel.contextHandle.IsSet());
  ExpectNoTokenLeft();
}

TEST_F(HandshakeTest, FailureWithoutExtendedErrorSendsNothingMore) {
  FakeHandshakeStep rejected = fake::FakeRejectedCertificateStep();
  rejected.extendedError = false;
  Security().handshake = {script[0], rejected};
  fakes.sockets.QueueReceive(flights[0]);
  EXPECT_EQ(PerformHandshake(channel), 0);
  EXPECT_EQ(fakes.sockets.SentBytes(), script[0].token);
  EXPECT_EQ(Security().LiveContexts(), 0);
  ExpectNoTokenLeft();
}

TEST_F(HandshakeTest, ServerCloseFailsTheHandshake) {
  fakes.sockets.QueueReceive(flights[0]);
  fakes.sockets.QueueClose();
  EXPECT_EQ(PerformHandshake(channel), 0);
  ExpectFailureTexts();
  EXPECT_EQ(Security().LiveContexts(), 0);
  EXPECT_EQ(fakes.sockets.ReceiveLengths().size(), 2u);
}

TEST_F(HandshakeTest, ReadErrorFailsTheHandshake) {
  fakes.sockets.QueueReceiveError();
  EXPECT_EQ(PerformHandshake(channel), 0);
  ExpectFailureTexts();
  EXPECT_EQ(Security().LiveContexts(), 0);
  EXPECT_EQ(fakes.sockets.ReceiveLengths().size(), 1u);
}

TEST_F(HandshakeTest, FailedCredentialsFailTheFirstCallWithoutAnyExchange) {
  channel.Release();
  channel.serverSocket = fakes.sockets.CreateTcpSocket();
  Security().acquireStatus = kSecENoCredentials;
  AcquireCredentials();
  EXPECT_EQ(PerformHandshake(channel), 0);
  ExpectFailureTexts();
  EXPECT_TRUE(fakes.sockets.SentBytes().empty());
  EXPECT_TRUE(fakes.sockets.ReceiveLengths().empty());
}

TEST_F(HandshakeTest, ContextCompleteAtTheFirstCallNeedsNoExchange) {
  Security().handshake = {{kSecEOk, MakeFakeHandshakeRecord("unused"), 0, false}};
  ASSERT_EQ(PerformHandshake(channel), 1);
  EXPECT_TRUE(fakes.sockets.SentBytes().empty());
  ExpectNoTokenLeft();
}

TEST_F(HandshakeTest, TargetNameComesFromTheKeyOfTheCurrentMode) {
  App().isPostXp = 0;
  fakes.profile.Set(u"CAFECertNameSHA1", u"legacy.example.test");
  fake::QueueServerHandshake(fakes.sockets);
  ASSERT_EQ(PerformHandshake(channel), 1);
  for (const auto& call : Security().HandshakeCalls()) {
    EXPECT_EQ(call.targetName, u"legacy.example.test");
  }
}

TEST_F(HandshakeTest, HandshakeTextsInFrench) {
  UseFrench();
  fakes.sockets.QueueClose();
  EXPECT_EQ(PerformHandshake(channel), 0);
  EXPECT_EQ(StatusLine(), u"Échec de l'authentification du certificat.");
  EXPECT_EQ(DetailLine(), u"Mauvais certificat du serveur.");
}

}  // namespace
}  // namespace digital_id
