#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/openssl_tls_engine.h"
#include "platform/linux/tls_record_framing.h"
#include "tls_test_connection.h"
#include "tls_test_pki.h"
#include "tls_test_server.h"

namespace digital_id {
namespace {

using tls_test::HandshakeResult;
using tls_test::ReversingTlsServer;
using tls_test::TestPki;
using tls_test::Tls12Options;
using tls_test::TlsTestConnection;

constexpr const char* kSha256Rsa = "1.2.840.113549.1.1.11";

// The outcome of DecryptMessage over a copy of some received bytes.
struct Decryption {
  SecStatus status = kSecEInternalError;
  std::string plaintext;   // bytes marked as data
  bool marksData = false;  // whether any buffer came back as data
  std::size_t extra = 0;   // length of the extra buffer
  const std::uint8_t* extraStart = nullptr;
  Bytes bytes;  // the buffer after the call
};

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
    roots_.push_back(TestPki::Get().RootDer());
  }
  SecurityInterface& Interface() { return *engine_.InitSecurityInterface(); }

 private:
  std::mutex mutex_;
  std::vector<Bytes> roots_;
  OpenSslTlsEngine engine_;
};

class TlsEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { engine_.TrustTestRoot(); }

  // Starts a reversing server with the valid chain (and optional extra options).
  static std::unique_ptr<ReversingTlsServer> GoodServer(std::vector<std::string> extra = {}) {
    const TestPki& pki = TestPki::Get();
    std::vector<std::string> options =
        Tls12Options(pki.GoodLeaf(), pki.LeafKey(), pki.Intermediate());
    options.insert(options.end(), extra.begin(), extra.end());
    return std::make_unique<ReversingTlsServer>(options);
  }

  // Connects to a server and runs the handshake for a target name.
  HandshakeResult HandshakeWith(const ReversingTlsServer& server, const std::u16string& target,
                                SecurityInterface* engine = nullptr) {
    EXPECT_NE(server.Port(), 0) << server.Log();
    TlsTestConnection connection(engine != nullptr ? *engine : engine_.Interface(), server.Port());
    EXPECT_TRUE(connection.IsConnected());
    return connection.Handshake(target);
  }

  Decryption Decrypt(TlsTestConnection& connection, Bytes bytes) {
    Decryption result;
    result.bytes = std::move(bytes);
    std::array<SecBuffer, 4> buffers{SecBuffer{static_cast<std::uint32_t>(result.bytes.size()),
                                               kSecBufferData, result.bytes.data()},
                                     SecBuffer{}, SecBuffer{}, SecBuffer{}};
    SecBufferDesc list{kSecBufferVersion, 4, buffers.data()};
    result.status = engine_.Interface().DecryptMessage(connection.Context(), &list, 0, nullptr);
    for (const SecBuffer& buffer : buffers) {
      if (buffer.BufferType == kSecBufferData && !result.marksData) {
        result.marksData = true;
        const auto* start = static_cast<const char*>(buffer.pvBuffer);
        result.plaintext.assign(start, start + buffer.cbBuffer);
      }
      if (buffer.BufferType == kSecBufferExtra) {
        result.extra = buffer.cbBuffer;
        result.extraStart = static_cast<const std::uint8_t*>(buffer.pvBuffer);
      }
    }
    return result;
  }

  EngineWithRoots engine_;
};

bool IsAlertRecord(const Bytes& token) {
  return token.size() >= kRecordHeaderSize && token[0] == 21 &&
         FirstRecord(token).scan == RecordScan::Whole;
}

TEST(TlsEngineTrust, GoodChainIsTrustedOnlyThroughTheExtraRootsAndANewRootCountsAtOnce) {
  EngineWithRoots engine;
  const std::unique_ptr<ReversingTlsServer> server =
      std::make_unique<ReversingTlsServer>(Tls12Options(
          TestPki::Get().GoodLeaf(), TestPki::Get().LeafKey(), TestPki::Get().Intermediate()));
  ASSERT_NE(server->Port(), 0) << server->Log();
  {
    TlsTestConnection connection(engine.Interface(), server->Port());
    ASSERT_TRUE(connection.IsConnected());
    const HandshakeResult untrusted = connection.Handshake(u"localhost");
    EXPECT_EQ(untrusted.status, kSecEUntrustedRoot);
    EXPECT_NE(untrusted.lastAttributes & kIscRetExtendedError, 0u);
    EXPECT_TRUE(IsAlertRecord(untrusted.lastToken));
  }
  engine.TrustTestRoot();
  for (const std::u16string target : {u"localhost", u"127.0.0.1"}) {
    TlsTestConnection connection(engine.Interface(), server->Port());
    ASSERT_TRUE(connection.IsConnected());
    EXPECT_EQ(connection.Handshake(target).status, kSecEOk);
    CertificatePtr peer;
    ASSERT_EQ(engine.Interface().QueryRemoteCertificate(connection.Context(), peer), kSecEOk);
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(peer->Encoded(), TestPki::Get().GoodLeafDer());
    EXPECT_EQ(peer->SignatureAlgorithmOid(), kSha256Rsa);
    EXPECT_LT(peer->NotBefore(), peer->NotAfter());
  }
}

TEST_F(TlsEngineTest, BadServerCertificatesMapToTheirStatusesWithAnAlertToSend) {
  const TestPki& pki = TestPki::Get();
  struct Case {
    const char* what;
    std::vector<std::string> options;
    std::u16string target;
    SecStatus expected;
  };
  const std::vector<Case> cases{
      {"self-signed", Tls12Options(pki.SelfSigned(), pki.LeafKey(), ""), u"localhost",
       kSecEUntrustedRoot},
      {"missing intermediate", Tls12Options(pki.GoodLeaf(), pki.LeafKey(), ""), u"localhost",
       kSecEUntrustedRoot},
      {"wrong name", Tls12Options(pki.WrongNameLeaf(), pki.LeafKey(), pki.Intermediate()),
       u"localhost", kSecEWrongPrincipal},
      {"wrong address", Tls12Options(pki.WrongNameLeaf(), pki.LeafKey(), pki.Intermediate()),
       u"127.0.0.1", kSecEWrongPrincipal},
      {"expired", Tls12Options(pki.ExpiredLeaf(), pki.LeafKey(), pki.Intermediate()), u"localhost",
       kSecECertExpired},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    const ReversingTlsServer server(test.options);
    const HandshakeResult result = HandshakeWith(server, test.target);
    EXPECT_EQ(result.status, test.expected);
    EXPECT_NE(result.lastAttributes & kIscRetExtendedError, 0u);
    EXPECT_TRUE(IsAlertRecord(result.lastToken));
  }
}

TEST_F(TlsEngineTest, GoodChainWithAnotherTargetNameIsWrongPrincipal) {
  const std::unique_ptr<ReversingTlsServer> server = GoodServer();
  EXPECT_EQ(HandshakeWith(*server, u"other.example").status, kSecEWrongPrincipal);
  EXPECT_EQ(HandshakeWith(*server, u"127.0.0.2").status, kSecEWrongPrincipal);
  EXPECT_EQ(HandshakeWith(*server, u"").status, kSecEWrongPrincipal);
}

TEST_F(TlsEngineTest, ServerThatSpeaksOnlyTls13Fails) {
  const TestPki& pki = TestPki::Get();
  const ReversingTlsServer server({"-tls1_3", "-cert", pki.GoodLeaf(), "-key", pki.LeafKey(),
                                   "-cert_chain", pki.Intermediate()});
  // The server answers the TLS 1.2 hello with a protocol-version alert.
  EXPECT_EQ(HandshakeWith(server, u"localhost").status, kSecEIllegalMessage);
}

TEST_F(TlsEngineTest, RecordsFedByteByByteAnswerIncompleteUntouchedThenSucceed) {
  const std::unique_ptr<ReversingTlsServer> server = GoodServer();
  ASSERT_NE(server->Port(), 0) << server->Log();
  TlsTestConnection connection(engine_.Interface(), server->Port());
  ASSERT_TRUE(connection.IsConnected());
  const HandshakeResult handshake = connection.Handshake(u"localhost", true);
  ASSERT_EQ(handshake.status, kSecEOk);
  EXPECT_GT(handshake.incompleteAnswers, 10);
  EXPECT_TRUE(handshake.untouchedWhenIncomplete);

  ASSERT_TRUE(connection.SendMessage("ping\n"));
  const Bytes record = connection.ReceiveRecords(1);
  ASSERT_FALSE(record.empty());
  for (std::size_t length = 1; length < record.size(); ++length) {
    const Bytes prefix(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(length));
    const Decryption partial = Decrypt(connection, prefix);
    ASSERT_EQ(partial.status, kSecEIncompleteMessage) << length;
    ASSERT_EQ(partial.bytes, prefix) << length;
  }
  const Decryption whole = Decrypt(connection, record);
  EXPECT_EQ(whole.status, kSecEOk);
  EXPECT_EQ(whole.plaintext, "gnip\n");
  EXPECT_EQ(whole.extra, 0u);
}

TEST_F(TlsEngineTest, TwoRecordsInOneBufferDecryptTheFirstAndCountTheRestAsExtra) {
  const std::unique_ptr<ReversingTlsServer> server = GoodServer();
  ASSERT_NE(server->Port(), 0) << server->Log();
  TlsTestConnection connection(engine_.Interface(), server->Port());
  ASSERT_TRUE(connection.IsConnected());
  ASSERT_EQ(connection.Handshake(u"localhost").status, kSecEOk);

  ASSERT_TRUE(connection.SendMessage("first\nsecond line\n"));
  const Bytes both = connection.ReceiveRecords(2);
  ASSERT_EQ(WholeRecordsAtStart(both).count, 2u);
  const std::size_t firstLength = FirstRecord(both).length;

  const Decryption first = Decrypt(connection, both);
  ASSERT_EQ(first.status, kSecEOk);
  EXPECT_EQ(first.plaintext, "tsrif\n");
  EXPECT_EQ(first.extra, both.size() - firstLength);
  EXPECT_EQ(first.extraStart, first.bytes.data() + firstLength);

  const Decryption second = Decrypt(
      connection, Bytes(both.begin() + static_cast<std::ptrdiff_t>(firstLength), both.end()));
  EXPECT_EQ(second.status, kSecEOk);
  EXPECT_EQ(second.plaintext, "enil dnoces\n");
  EXPECT_EQ(second.extra, 0u);
}

TEST_F(TlsEngineTest, TamperedRecordFailsToDecryptAndMarksNoData) {
  const std::unique_ptr<ReversingTlsServer> server = GoodServer();
  ASSERT_NE(server->Port(), 0) << server->Log();
  TlsTestConnection connection(engine_.Interface(), server->Port());
  ASSERT_TRUE(connection.IsConnected());
  ASSERT_EQ(connection.Handshake(u"localhost").status, kSecEOk);
  ASSERT_TRUE(connection.SendMessage("abc\n"));
  Bytes record = connection.ReceiveRecords(1);
  ASSERT_FALSE(record.empty());
  record.back() ^= 0x01;

  const Decryption result = Decrypt(connection, record);
  EXPECT_EQ(result.status, kSecEDecryptFailure);
  EXPECT_FALSE(result.marksData);
  EXPECT_EQ(result.bytes, record);
}

// Encrypts one message through the buffers the secure channel uses and returns the record.
struct EncryptedRecord {
  SecStatus status = kSecEInternalError;
  Bytes record;
  std::uint32_t headerLength = 0;
  std::uint32_t trailerLength = 0;
};

EncryptedRecord Encrypt(SecurityInterface& engine, SecHandle* context, const StreamSizes& sizes,
                        const std::string& message) {
  EncryptedRecord result;
  Bytes area(sizes.cbHeader + message.size() + sizes.cbTrailer);
  std::copy(message.begin(), message.end(), area.begin() + sizes.cbHeader);
  std::array<SecBuffer, 3> buffers{SecBuffer{sizes.cbHeader, kSecBufferStreamHeader, area.data()},
                                   SecBuffer{static_cast<std::uint32_t>(message.size()),
                                             kSecBufferData, area.data() + sizes.cbHeader},
                                   SecBuffer{sizes.cbTrailer, kSecBufferStreamTrailer,
                                             area.data() + sizes.cbHeader + message.size()}};
  SecBufferDesc list{kSecBufferVersion, 3, buffers.data()};
  result.status = engine.EncryptMessage(context, 0, &list, 0);
  result.headerLength = buffers[0].cbBuffer;
  result.trailerLength = buffers[2].cbBuffer;
  area.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
  result.record = std::move(area);
  return result;
}

TEST_F(TlsEngineTest, EachCipherGivesItsSizesAndOneRecordPerEncryption) {
  struct Case {
    const char* cipher;
    std::uint32_t header;
    std::uint32_t trailer;
  };
  for (const Case& test :
       {Case{"ECDHE-RSA-AES256-GCM-SHA384", 13, 16}, Case{"ECDHE-RSA-CHACHA20-POLY1305", 5, 16},
        Case{"ECDHE-RSA-AES128-SHA256", 21, 48}}) {
    SCOPED_TRACE(test.cipher);
    const std::unique_ptr<ReversingTlsServer> server = GoodServer({"-cipher", test.cipher});
    ASSERT_NE(server->Port(), 0) << server->Log();
    TlsTestConnection connection(engine_.Interface(), server->Port());
    ASSERT_TRUE(connection.IsConnected());
    ASSERT_EQ(connection.Handshake(u"localhost").status, kSecEOk);

    StreamSizes sizes;
    ASSERT_EQ(engine_.Interface().QueryStreamSizes(connection.Context(), &sizes), kSecEOk);
    EXPECT_EQ(sizes.cbHeader, test.header);
    EXPECT_EQ(sizes.cbTrailer, test.trailer);
    EXPECT_EQ(sizes.cbMaximumMessage, 16384u);

    const std::string message = "round trip\n";
    const EncryptedRecord encrypted =
        Encrypt(engine_.Interface(), connection.Context(), sizes, message);
    ASSERT_EQ(encrypted.status, kSecEOk);
    EXPECT_EQ(encrypted.headerLength, sizes.cbHeader);
    EXPECT_LE(encrypted.trailerLength, sizes.cbTrailer);
    const RecordExtent extent = FirstRecord(encrypted.record);
    EXPECT_EQ(extent.scan, RecordScan::Whole);
    EXPECT_EQ(extent.length, sizes.cbHeader + message.size() + encrypted.trailerLength);
    EXPECT_EQ(encrypted.record[0], kTlsApplicationData);

    ASSERT_TRUE(connection.SendAll(encrypted.record.data(), encrypted.record.size()));
    const Decryption reply = Decrypt(connection, connection.ReceiveRecords(1));
    EXPECT_EQ(reply.status, kSecEOk);
    EXPECT_EQ(reply.plaintext, "pirt dnuor\n");

    const EncryptedRecord largest =
        Encrypt(engine_.Interface(), connection.Context(), sizes, std::string(16384, 'x'));
    EXPECT_EQ(largest.status, kSecEOk);
    EXPECT_EQ(FirstRecord(largest.record).length, largest.record.size());
    EXPECT_NE(
        Encrypt(engine_.Interface(), connection.Context(), sizes, std::string(16385, 'x')).status,
        kSecEOk);
  }
}

TEST(TlsEngineHandles, UnknownStaleOrForeignHandlesAndBuffersAreRefused) {
  OpenSslTlsEngine engine([] { return std::vector<Bytes>{}; });
  SecurityInterface* sspi = engine.InitSecurityInterface();
  ASSERT_NE(sspi, nullptr);
  SecHandle credential;
  ASSERT_EQ(sspi->AcquireCredentialsHandle(kSpProtTls12, kSchCredAutoCredValidation, &credential),
            kSecEOk);
  EXPECT_TRUE(credential.IsSet());

  // A credential handle is no context, and a context is only made by a first handshake call.
  SecHandle asContext = credential;
  StreamSizes sizes;
  EXPECT_EQ(sspi->QueryStreamSizes(&asContext, &sizes), kSecEInvalidHandle);
  EXPECT_EQ(sspi->DeleteSecurityContext(&asContext), kSecEInvalidHandle);

  SecBuffer token{0, kSecBufferToken, nullptr};
  SecBufferDesc output{kSecBufferVersion, 1, &token};
  SecHandle context;
  std::uint32_t attributes = 0;
  ASSERT_EQ(sspi->InitializeSecurityContext(&credential, nullptr, u"localhost", 0xC11C, nullptr,
                                            &context, &output, &attributes),
            kSecIContinueNeeded);
  ASSERT_NE(token.pvBuffer, nullptr);
  EXPECT_EQ(static_cast<const std::uint8_t*>(token.pvBuffer)[0], 22);  // a handshake record
  // Before the handshake completes there are no stream sizes and nothing to encrypt with.
  EXPECT_EQ(sspi->QueryStreamSizes(&context, &sizes), kSecEInvalidHandle);

  int foreign = 0;
  EXPECT_EQ(sspi->FreeContextBuffer(&foreign), kSecEInvalidHandle);
  EXPECT_EQ(sspi->FreeContextBuffer(token.pvBuffer), kSecEOk);
  EXPECT_EQ(sspi->FreeContextBuffer(token.pvBuffer), kSecEInvalidHandle);

  SecHandle copy = context;
  EXPECT_EQ(sspi->DeleteSecurityContext(&context), kSecEOk);
  EXPECT_FALSE(context.IsSet());
  EXPECT_EQ(sspi->DeleteSecurityContext(&copy), kSecEInvalidHandle);
  EXPECT_EQ(sspi->FreeCredentialsHandle(&credential), kSecEOk);
  EXPECT_EQ(sspi->FreeCredentialsHandle(&credential), kSecEInvalidHandle);
}

}  // namespace
}  // namespace digital_id
