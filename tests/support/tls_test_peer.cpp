#include "tests/support/tls_test_peer.h"

#include <openssl/err.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "tools/test-server/certificate_variants.h"
#include "tools/test-server/tls_server_context.h"

namespace digital_id::tls_test {

namespace {

void Require(bool condition, const std::string& what) {
  if (!condition) {
    throw std::runtime_error("TLS test peer: " + what);
  }
}

Bytes Der(X509* certificate) {
  unsigned char* der = nullptr;
  const int length = i2d_X509(certificate, &der);
  Require(length > 0, "DER");
  Bytes bytes(der, der + length);
  OPENSSL_free(der);
  return bytes;
}

// A temporary folder that lives as long as the test program.
std::string MakeTemporaryFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tls-session-test-XXXXXX").string();
  Require(mkdtemp(pattern.data()) != nullptr, "temporary folder");
  return pattern;
}

TestPki MakeTestPki() {
  const std::string folder = MakeTemporaryFolder();
  bool created = false;
  std::string error;
  std::optional<test_server::DemoPki> demo =
      test_server::LoadOrCreateDemoPki(folder, created, error);
  std::filesystem::remove_all(folder);
  Require(demo.has_value(), error);
  TestPki pki{std::move(*demo), nullptr, nullptr, {}};
  X509* server = pki.demo.server.certificate.get();
  EVP_PKEY* issuerKey = pki.demo.issuingCa.key.get();
  pki.expiredServer =
      test_server::CopyWithValidity(server, issuerKey, test_server::Validity::Expired, error);
  pki.wrongNameServer = test_server::CopyForOtherName(server, issuerKey, "wrong.example", error);
  Require(pki.expiredServer && pki.wrongNameServer, error);
  pki.rootDer = Der(pki.demo.root.certificate.get());
  return pki;
}

}  // namespace

const TestPki& TestPki::Get() {
  static const TestPki pki = MakeTestPki();
  return pki;
}

LocalTlsServer::LocalTlsServer(X509* certificate, EVP_PKEY* key, std::vector<X509*> chain,
                               int minorVersion) {
  int ends[2] = {-1, -1};
  Require(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0, "socket pair");
  server_ = ends[0];
  client_ = ends[1];
  timeval bound{10, 0};
  setsockopt(server_, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
  const test_server::CertifiedKey presented{X509Ptr(X509_dup(certificate)),
                                            EvpPkeyPtr(EVP_PKEY_dup(key))};
  std::string error;
  context_ = test_server::MakeTlsServerContext(presented, chain, error, minorVersion);
  Require(context_ != nullptr, error);
  ssl_.reset(SSL_new(context_.get()));
  Require(ssl_ && SSL_set_fd(ssl_.get(), server_) == 1, "server connection");
}

LocalTlsServer::~LocalTlsServer() {
  if (handshake_.joinable()) {
    CloseClientEnd();
    handshake_.join();
  }
  CloseClientEnd();
  CloseServerEnd();
}

void LocalTlsServer::StartHandshake(std::string firstMessage) {
  handshake_ = std::thread([this, firstMessage = std::move(firstMessage)] {
    accepted_ = SSL_accept(ssl_.get()) == 1;
    const unsigned long error = ERR_peek_last_error();
    const int reason = ERR_GET_REASON(error);
    if (!accepted_ && reason > SSL_AD_REASON_OFFSET && reason < SSL_AD_REASON_OFFSET + 256) {
      receivedAlert_ = reason - SSL_AD_REASON_OFFSET;
    }
    ERR_clear_error();
    if (accepted_ && !firstMessage.empty()) {
      SSL_write(ssl_.get(), firstMessage.data(), static_cast<int>(firstMessage.size()));
    }
  });
}

bool LocalTlsServer::FinishHandshake() {
  if (handshake_.joinable()) {
    handshake_.join();
  }
  return accepted_;
}

Bytes LocalTlsServer::Seal(std::string_view message) {
  // The record is written into memory for once; the socket takes the writes again afterwards.
  BIO* memory = BIO_new(BIO_s_mem());
  Require(memory != nullptr, "memory BIO");
  BIO* socket = SSL_get_rbio(ssl_.get());
  BIO_up_ref(socket);
  SSL_set0_wbio(ssl_.get(), memory);
  const int written = SSL_write(ssl_.get(), message.data(), static_cast<int>(message.size()));
  Bytes record(static_cast<std::size_t>(BIO_ctrl_pending(memory)));
  if (!record.empty()) {
    BIO_read(memory, record.data(), static_cast<int>(record.size()));
  }
  SSL_set0_wbio(ssl_.get(), socket);
  Require(written == static_cast<int>(message.size()), "seal");
  return record;
}

bool LocalTlsServer::SendRaw(const Bytes& bytes) {
  return ::send(server_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
         static_cast<ssize_t>(bytes.size());
}

std::string LocalTlsServer::Read() {
  std::string content(16384, '\0');
  const int read = SSL_read(ssl_.get(), content.data(), static_cast<int>(content.size()));
  ERR_clear_error();
  content.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
  return content;
}

void LocalTlsServer::SendCloseNotify() {
  SSL_shutdown(ssl_.get());
}

void LocalTlsServer::CloseClientEnd() {
  if (client_ >= 0) {
    ::close(client_);
    client_ = -1;
  }
}

void LocalTlsServer::CloseServerEnd() {
  ssl_.reset();
  if (server_ >= 0) {
    ::close(server_);
    server_ = -1;
  }
}

Bytes LocalTlsServer::RawBytesUntilClosed() {
  Bytes bytes;
  std::uint8_t chunk[4096];
  ssize_t count = 0;
  while ((count = ::recv(server_, chunk, sizeof chunk, 0)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + count);
  }
  return bytes;
}

}  // namespace digital_id::tls_test
