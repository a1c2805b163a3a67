#include <gtest/gtest.h>
#include <signal.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/tls/openssl_tls_engine.h"
#include "tests/contracts/tls_session_contract.h"
#include "tests/support/tls_test_peer.h"

namespace digital_id {
namespace {

using tls_test::LocalTlsServer;
using tls_test::TestPki;

constexpr const char* kSha256Rsa = "1.2.840.113549.1.1.11";

// An engine whose extra roots a test can change between handshakes.
class EngineWithRoots {
 public:
  EngineWithRoots()
      : engine_([this] {
          std::lock_guard lock(mutex_);
          return roots_;
        }) {}

  void TrustTestRoot() {
    std::lock_guard lock(mutex_);
    roots_.push_back(TestPki::Get().rootDer);
  }
  std::unique_ptr<TlsSession> NewSession() { return engine_.NewSession(); }

 private:
  std::mutex mutex_;
  std::vector<Bytes> roots_;
  OpenSslTlsEngine engine_;
};

class OpenSslTlsSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { engine_.TrustTestRoot(); }

  // The demo server's own certificate with the issuing CA as its chain.
  static std::unique_ptr<LocalTlsServer> GoodServer(int minorVersion = 2) {
    const test_server::DemoPki& demo = TestPki::Get().demo;
    return std::make_unique<LocalTlsServer>(demo.server.certificate.get(), demo.server.key.get(),
                                            std::vector<X509*>{demo.issuingCa.certificate.get()},
                                            minorVersion);
  }

  // Runs the session's handshake against the server's.
  static HandshakeResult Connect(TlsSession& session, LocalTlsServer& server,
                                 const std::u16string& target, std::string firstMessage = {}) {
    server.StartHandshake(std::move(firstMessage));
    const HandshakeResult result = session.Handshake(server.ClientSocket(), target);
    if (result != HandshakeResult::Ok) {
      server.CloseClientEnd();  // a client that gave up before its hello leaves nothing to wait on
    }
    EXPECT_EQ(server.FinishHandshake(), result == HandshakeResult::Ok);
    return result;
  }

  // A session secured with the good server.
  std::unique_ptr<TlsSession> Secured(LocalTlsServer& server, std::string firstMessage = {}) {
    std::unique_ptr<TlsSession> session = engine_.NewSession();
    EXPECT_EQ(Connect(*session, server, u"localhost", std::move(firstMessage)),
              HandshakeResult::Ok);
    return session;
  }

  static SendResult Send(TlsSession& session, const std::string& message) {
    return session.Send(
        std::span(reinterpret_cast<const std::uint8_t*>(message.data()), message.size()));
  }
  // The next message as text; the result of the receive in result.
  static std::string Receive(TlsSession& session, ReceiveResult& result) {
    Bytes message;
    result = session.Receive(message);
    return std::string(message.begin(), message.end());
  }

  EngineWithRoots engine_;
};

// The OpenSSL engine, trusting the test root, against TLS servers inside the test process.
class OpenSslBackend : public contracts::TlsSessionBackend {
 public:
  OpenSslBackend() {
    // The server's alert to a client that left before its hello must fail, not end the tests.
    ::signal(SIGPIPE, SIG_IGN);
    engine_.TrustTestRoot();
  }
  std::unique_ptr<TlsSession> NewSession() override { return engine_.NewSession(); }
  SocketHandle Connect(contracts::TlsServerKind kind) override {
    const test_server::DemoPki& demo = TestPki::Get().demo;
    server_.reset();
    if (kind == contracts::TlsServerKind::Good) {
      server_ =
          std::make_unique<LocalTlsServer>(demo.server.certificate.get(), demo.server.key.get(),
                                           std::vector<X509*>{demo.issuingCa.certificate.get()});
    } else {
      server_ =
          std::make_unique<LocalTlsServer>(demo.untrustedServer.certificate.get(),
                                           demo.untrustedServer.key.get(), std::vector<X509*>{});
    }
    server_->StartHandshake();
    return server_->ClientSocket();
  }
  void HandshakeEnded(bool accepted) override {
    if (!accepted) {
      server_
          ->CloseClientEnd();  // a client that gave up before its hello leaves nothing to wait on
    }
    EXPECT_EQ(server_->FinishHandshake(), accepted);
  }
  std::u16string ServerName() override { return u"localhost"; }
  Bytes IssuingCaName() override {
    unsigned char* der = nullptr;
    const int length =
        i2d_X509_NAME(X509_get_subject_name(TestPki::Get().demo.issuingCa.certificate.get()), &der);
    Bytes name(der, der + (length > 0 ? length : 0));
    OPENSSL_free(der);
    return name;
  }

 private:
  EngineWithRoots engine_;
  std::unique_ptr<LocalTlsServer> server_;
};

using contracts::TlsSessionContract;
INSTANTIATE_TEST_SUITE_P(OpenSsl, TlsSessionContract,
                         ::testing::Values(contracts::TlsSessionBackendFactory{
                             "OpenSsl", [] { return std::make_unique<OpenSslBackend>(); }}));

TEST(OpenSslTlsTrust, GoodChainIsTrustedOnlyThroughTheExtraRootsAndANewRootCountsAtOnce) {
  EngineWithRoots engine;
  const test_server::DemoPki& demo = TestPki::Get().demo;
  const auto server = [&demo] {
    return LocalTlsServer(demo.server.certificate.get(), demo.server.key.get(),
                          {demo.issuingCa.certificate.get()});
  };
  {
    LocalTlsServer untrusted = server();
    const std::unique_ptr<TlsSession> session = engine.NewSession();
    untrusted.StartHandshake();
    EXPECT_EQ(session->Handshake(untrusted.ClientSocket(), u"localhost"),
              HandshakeResult::CertificateRefused);
    EXPECT_FALSE(untrusted.FinishHandshake());
    EXPECT_EQ(untrusted.ReceivedAlert(), SSL_AD_UNKNOWN_CA);
    EXPECT_EQ(session->PeerCertificate(), nullptr);
  }
  engine.TrustTestRoot();
  for (const std::u16string target : {u"localhost", u"127.0.0.1"}) {
    LocalTlsServer trusted = server();
    const std::unique_ptr<TlsSession> session = engine.NewSession();
    trusted.StartHandshake();
    EXPECT_EQ(session->Handshake(trusted.ClientSocket(), target), HandshakeResult::Ok);
    EXPECT_TRUE(trusted.FinishHandshake());
    const CertificatePtr peer = session->PeerCertificate();
    ASSERT_NE(peer, nullptr);
    unsigned char* der = nullptr;
    const int length = i2d_X509(demo.server.certificate.get(), &der);
    EXPECT_EQ(peer->Encoded(), Bytes(der, der + length));
    OPENSSL_free(der);
    EXPECT_EQ(peer->SignatureAlgorithmOid(), kSha256Rsa);
  }
}

TEST_F(OpenSslTlsSessionTest, BadServerCertificatesAreRefusedWithAnAlertToTheServer) {
  const TestPki& pki = TestPki::Get();
  X509* intermediate = pki.demo.issuingCa.certificate.get();
  EVP_PKEY* key = pki.demo.server.key.get();
  struct Case {
    const char* what;
    X509* certificate;
    EVP_PKEY* key;
    std::vector<X509*> chain;
    std::u16string target;
  };
  const std::vector<Case> cases{
      {"self-signed",
       pki.demo.untrustedServer.certificate.get(),
       pki.demo.untrustedServer.key.get(),
       {},
       u"localhost"},
      {"missing intermediate", pki.demo.server.certificate.get(), key, {}, u"localhost"},
      {"wrong name", pki.wrongNameServer.get(), key, {intermediate}, u"localhost"},
      {"wrong address", pki.wrongNameServer.get(), key, {intermediate}, u"127.0.0.1"},
      {"other target name",
       pki.demo.server.certificate.get(),
       key,
       {intermediate},
       u"other.example"},
      {"other target address",
       pki.demo.server.certificate.get(),
       key,
       {intermediate},
       u"127.0.0.2"},
      {"expired", pki.expiredServer.get(), key, {intermediate}, u"localhost"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    LocalTlsServer server(test.certificate, test.key, test.chain);
    const std::unique_ptr<TlsSession> session = engine_.NewSession();
    EXPECT_EQ(Connect(*session, server, test.target), HandshakeResult::CertificateRefused);
    EXPECT_GT(server.ReceivedAlert(), 0);
  }
}

TEST_F(OpenSslTlsSessionTest, TargetThatNoCertificateCanCarryIsRefusedWithoutAnExchange) {
  for (const std::u16string& target : {std::u16string(), std::u16string(u"h\u00F4te.example")}) {
    const std::unique_ptr<LocalTlsServer> server = GoodServer();
    const std::unique_ptr<TlsSession> session = engine_.NewSession();
    EXPECT_EQ(session->Handshake(server->ClientSocket(), target),
              HandshakeResult::CertificateRefused);
    server->CloseClientEnd();
    EXPECT_TRUE(server->RawBytesUntilClosed().empty());
  }
}

TEST_F(OpenSslTlsSessionTest, ServerOfAnotherVersionOrWithoutTlsFailsTheHandshake) {
  const std::unique_ptr<LocalTlsServer> modern = GoodServer(3);
  const std::unique_ptr<TlsSession> session = engine_.NewSession();
  EXPECT_EQ(Connect(*session, *modern, u"localhost"), HandshakeResult::Failed);

  const std::unique_ptr<LocalTlsServer> plain = GoodServer();
  const std::string reply = "HTTP/1.0 400 Bad Request\r\n\r\n";
  ASSERT_TRUE(plain->SendRaw(Bytes(reply.begin(), reply.end())));
  EXPECT_EQ(session->Handshake(plain->ClientSocket(), u"localhost"), HandshakeResult::Failed);
}

TEST_F(OpenSslTlsSessionTest, EachMessageIsOneRecordAndRecordsThatArriveTogetherAreReadInTurn) {
  const std::unique_ptr<LocalTlsServer> server = GoodServer();
  // The server's first message follows its Finished at once.
  const std::unique_ptr<TlsSession> session = Secured(*server, "right behind finished");
  ReceiveResult result = ReceiveResult::Closed;
  EXPECT_EQ(Receive(*session, result), "right behind finished");
  EXPECT_EQ(result, ReceiveResult::Ok);

  ASSERT_EQ(Send(*session, "REQ;first"), SendResult::Ok);
  EXPECT_EQ(server->Read(), "REQ;first");
  const std::string largest(16384, 'x');
  ASSERT_EQ(Send(*session, largest), SendResult::Ok);
  EXPECT_EQ(server->Read(), largest);
  EXPECT_EQ(Send(*session, largest + "x"), SendResult::EncryptFailed);

  Bytes both = server->Seal("SRVACK;");
  const Bytes second = server->Seal("ISSUED;chain");
  both.insert(both.end(), second.begin(), second.end());
  ASSERT_TRUE(server->SendRaw(both));
  EXPECT_EQ(Receive(*session, result), "SRVACK;");
  EXPECT_EQ(Receive(*session, result), "ISSUED;chain");
  EXPECT_EQ(result, ReceiveResult::Ok);
}

TEST_F(OpenSslTlsSessionTest, TamperedRecordIsUnreadable) {
  const std::unique_ptr<LocalTlsServer> server = GoodServer();
  const std::unique_ptr<TlsSession> session = Secured(*server);
  Bytes record = server->Seal("SRVACK;");
  record.back() ^= 0x01;
  ASSERT_TRUE(server->SendRaw(record));
  ReceiveResult result = ReceiveResult::Ok;
  EXPECT_EQ(Receive(*session, result), "");
  EXPECT_EQ(result, ReceiveResult::Unreadable);
}

TEST_F(OpenSslTlsSessionTest, ClosureAlertAndClosedConnectionEndTheReceive) {
  const std::unique_ptr<LocalTlsServer> notifying = GoodServer();
  const std::unique_ptr<TlsSession> first = Secured(*notifying);
  notifying->SendCloseNotify();
  ReceiveResult result = ReceiveResult::Ok;
  EXPECT_EQ(Receive(*first, result), "");
  EXPECT_EQ(result, ReceiveResult::Closed);

  const std::unique_ptr<LocalTlsServer> dropping = GoodServer();
  const std::unique_ptr<TlsSession> second = Secured(*dropping);
  dropping->CloseServerEnd();  // the server goes without a word
  EXPECT_EQ(Receive(*second, result), "");
  EXPECT_EQ(result, ReceiveResult::Closed);
}

TEST_F(OpenSslTlsSessionTest, SendToAClosedConnectionFailsWithoutRaisingASignal) {
  // Such a write raises SIGPIPE, which ends the process, unless the send asks otherwise.
  struct sigaction standard {};
  struct sigaction previous {};
  standard.sa_handler = SIG_DFL;
  ASSERT_EQ(sigaction(SIGPIPE, &standard, &previous), 0);
  const std::unique_ptr<LocalTlsServer> server = GoodServer();
  const std::unique_ptr<TlsSession> session = Secured(*server);
  server->CloseServerEnd();
  EXPECT_EQ(Send(*session, "REQ;late"), SendResult::SendFailed);
  sigaction(SIGPIPE, &previous, nullptr);
}

TEST_F(OpenSslTlsSessionTest, CloseSendsNothingAndLeavesTheSocketOpen) {
  const std::unique_ptr<LocalTlsServer> server = GoodServer();
  const std::unique_ptr<TlsSession> session = Secured(*server);
  session->Close();
  session->Close();
  EXPECT_EQ(session->PeerCertificate(), nullptr);
  EXPECT_EQ(Send(*session, "CLTACK;"), SendResult::EncryptFailed);
  // The socket is still the caller's: the server sees no byte until its owner closes it.
  server->CloseClientEnd();
  EXPECT_TRUE(server->RawBytesUntilClosed().empty());
}

}  // namespace
}  // namespace digital_id
