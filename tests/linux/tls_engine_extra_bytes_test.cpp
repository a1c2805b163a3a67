#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/linux/openssl_handles.h"
#include "platform/linux/openssl_tls_engine.h"
#include "platform/linux/openssl_tls_handles.h"
#include "platform/linux/tls_record_framing.h"
#include "tls_test_pki.h"

namespace digital_id {
namespace {

using tls_test::TestPki;

constexpr std::uint32_t kRequirements = 0xC11C;

// A TLS 1.2 server inside the test process over two memory BIOs, so the test decides exactly
// which server bytes reach the engine together.
class InProcessServer {
 public:
  InProcessServer() : context_(SSL_CTX_new(TLS_server_method())) {
    const TestPki& pki = TestPki::Get();
    ready_ =
        context_ && SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION) == 1 &&
        SSL_CTX_set_max_proto_version(context_.get(), TLS1_2_VERSION) == 1 &&
        SSL_CTX_use_certificate_file(context_.get(), pki.GoodLeaf().c_str(), SSL_FILETYPE_PEM) ==
            1 &&
        SSL_CTX_use_PrivateKey_file(context_.get(), pki.LeafKey().c_str(), SSL_FILETYPE_PEM) == 1 &&
        AddChain(pki.Intermediate());
    ssl_.reset(ready_ ? SSL_new(context_.get()) : nullptr);
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    ready_ = ready_ && ssl_ && in != nullptr && out != nullptr;
    if (!ready_) {
      BIO_free(in);
      BIO_free(out);
      return;
    }
    SSL_set_bio(ssl_.get(), in, out);
    SSL_set_accept_state(ssl_.get());
    in_ = in;
    out_ = out;
  }

  bool Ready() const { return ready_; }
  // Feeds client bytes and advances the handshake; true once it is complete.
  bool Receive(const std::uint8_t* data, std::size_t size) {
    BIO_write(in_, data, static_cast<int>(size));
    return SSL_do_handshake(ssl_.get()) == 1;
  }
  // Sends application data (after the handshake).
  void Write(const std::string& text) {
    SSL_write(ssl_.get(), text.data(), static_cast<int>(text.size()));
  }
  // Takes what the server has written.
  Bytes Output() {
    Bytes bytes(BIO_ctrl_pending(out_));
    if (!bytes.empty()) {
      BIO_read(out_, bytes.data(), static_cast<int>(bytes.size()));
    }
    return bytes;
  }

 private:
  bool AddChain(const std::string& path) {
    BioPtr file(BIO_new_file(path.c_str(), "r"));
    X509Ptr certificate(file ? PEM_read_bio_X509(file.get(), nullptr, nullptr, nullptr) : nullptr);
    return certificate && SSL_CTX_add1_chain_cert(context_.get(), certificate.get()) == 1;
  }

  SslCtxPtr context_;
  SslPtr ssl_;
  BIO* in_ = nullptr;   // owned by ssl_
  BIO* out_ = nullptr;  // owned by ssl_
  bool ready_ = false;
};

TEST(TlsEngineExtraBytes, DataBehindTheServersFinishedIsCountedAsExtraAndDecrypts) {
  InProcessServer server;
  ASSERT_TRUE(server.Ready());
  OpenSslTlsEngine engine([] { return std::vector<Bytes>{TestPki::Get().RootDer()}; });
  SecurityInterface& sspi = *engine.InitSecurityInterface();
  SecHandle credential;
  ASSERT_EQ(sspi.AcquireCredentialsHandle(kSpProtTls12, kSchCredAutoCredValidation, &credential),
            kSecEOk);

  SecBuffer token{0, kSecBufferToken, nullptr};
  SecBufferDesc output{kSecBufferVersion, 1, &token};
  SecHandle context;
  std::uint32_t attributes = 0;
  SecStatus status = sspi.InitializeSecurityContext(
      &credential, nullptr, u"localhost", kRequirements, nullptr, &context, &output, &attributes);
  std::size_t appendedRecord = 0;
  Bytes fromServer;
  for (int step = 0; step < 10 && status == kSecIContinueNeeded; ++step) {
    const bool serverDone =
        server.Receive(static_cast<const std::uint8_t*>(token.pvBuffer), token.cbBuffer);
    sspi.FreeContextBuffer(token.pvBuffer);
    fromServer = server.Output();
    if (serverDone && appendedRecord == 0) {
      // The server's last flight and its first message arrive in one read.
      server.Write("hello behind finished");
      const Bytes record = server.Output();
      appendedRecord = record.size();
      fromServer.insert(fromServer.end(), record.begin(), record.end());
    }
    std::array<SecBuffer, 2> in{SecBuffer{static_cast<std::uint32_t>(fromServer.size()),
                                          kSecBufferToken, fromServer.data()},
                                SecBuffer{}};
    SecBufferDesc input{kSecBufferVersion, 2, in.data()};
    token = SecBuffer{0, kSecBufferToken, nullptr};
    status = sspi.InitializeSecurityContext(&credential, &context, u"localhost", kRequirements,
                                            &input, nullptr, &output, &attributes);
    if (status == kSecEOk) {
      ASSERT_GT(appendedRecord, 0u);
      ASSERT_EQ(in[1].BufferType, kSecBufferExtra);
      EXPECT_EQ(in[1].cbBuffer, appendedRecord);
      fromServer.erase(fromServer.begin(), fromServer.end() - in[1].cbBuffer);
    }
  }
  ASSERT_EQ(status, kSecEOk);
  sspi.FreeContextBuffer(token.pvBuffer);

  std::array<SecBuffer, 4> buffers{
      SecBuffer{static_cast<std::uint32_t>(fromServer.size()), kSecBufferData, fromServer.data()},
      SecBuffer{}, SecBuffer{}, SecBuffer{}};
  SecBufferDesc message{kSecBufferVersion, 4, buffers.data()};
  ASSERT_EQ(sspi.DecryptMessage(&context, &message, 0, nullptr), kSecEOk);
  ASSERT_EQ(buffers[1].BufferType, kSecBufferData);
  EXPECT_EQ(std::string(static_cast<const char*>(buffers[1].pvBuffer), buffers[1].cbBuffer),
            "hello behind finished");
  EXPECT_EQ(buffers[3].BufferType, kSecBufferEmpty);
  EXPECT_EQ(sspi.DeleteSecurityContext(&context), kSecEOk);
  EXPECT_EQ(sspi.FreeCredentialsHandle(&credential), kSecEOk);
}

}  // namespace
}  // namespace digital_id
