#include "platform/linux/tls/openssl_tls_session.h"

#include <arpa/inet.h>
#include <openssl/err.h>

#include <climits>
#include <optional>
#include <utility>

#include "platform/linux/tls/tls_client_credentials.h"
#include "platform/linux/tls/tls_verification_errors.h"
#include "platform/linux/x509/openssl_certificate.h"

namespace digital_id {

namespace {

// Most plaintext one TLS record carries.
constexpr std::size_t kMaxRecordPlaintext = 16384;

// The target name as ASCII text; nullopt when it is empty or holds anything else, since no
// certificate name can then match it.
std::optional<std::string> AsciiName(const std::u16string& name) {
  std::string ascii;
  for (const char16_t unit : name) {
    if (unit == 0 || unit > 0x7F) {
      return std::nullopt;
    }
    ascii.push_back(static_cast<char>(unit));
  }
  if (ascii.empty()) {
    return std::nullopt;
  }
  return ascii;
}

// Makes the connection check name: as an address when it is a dotted IPv4 address (which is not
// announced), else as a host name that is also announced to the server.
bool CheckServerAs(SSL* ssl, const std::string& name) {
  in_addr address{};
  if (inet_pton(AF_INET, name.c_str(), &address) == 1) {
    return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.c_str()) == 1;
  }
  SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  return SSL_set_tlsext_host_name(ssl, name.c_str()) == 1 && SSL_set1_host(ssl, name.c_str()) == 1;
}

// The DER form of the trust anchor that ends the chain OpenSSL verified; empty when none.
Bytes VerifiedRoot(SSL* ssl) {
  STACK_OF(X509)* chain = SSL_get0_verified_chain(ssl);
  const int count = chain != nullptr ? sk_X509_num(chain) : 0;
  if (count <= 0) {
    return {};
  }
  unsigned char* der = nullptr;
  const int length = i2d_X509(sk_X509_value(chain, count - 1), &der);
  Bytes bytes;
  if (length > 0 && der != nullptr) {
    bytes.assign(der, der + length);
  }
  OPENSSL_free(der);
  return bytes;
}

}  // namespace

OpenSslTlsSession::OpenSslTlsSession(std::function<std::vector<Bytes>()> extraTrustedRoots,
                                     VerifiedServerAnchor* anchor)
    : extraTrustedRoots_(std::move(extraTrustedRoots)), anchor_(anchor) {}

HandshakeResult OpenSslTlsSession::Handshake(SocketHandle socket,
                                             const std::u16string& targetName) {
  Close();  // nothing of an earlier attempt is left behind
  if (anchor_ != nullptr) {
    anchor_->Clear();
  }
  const std::optional<std::string> name = AsciiName(targetName);
  if (!name) {
    return HandshakeResult::CertificateRefused;
  }
  if (socket > static_cast<SocketHandle>(INT_MAX)) {
    return HandshakeResult::Failed;
  }
  // The credentials are made anew for each connection, with the roots installed by then.
  const SslCtxPtr credentials =
      NewClientCredentials(extraTrustedRoots_ ? extraTrustedRoots_() : std::vector<Bytes>{});
  socket_ = SocketBioState{static_cast<int>(socket)};
  SslPtr ssl(credentials ? SSL_new(credentials.get()) : nullptr);
  BioPtr bio = NewSocketBio(socket_);
  if (!ssl || !bio || !CheckServerAs(ssl.get(), *name)) {
    return HandshakeResult::Failed;
  }
  SSL_set_bio(ssl.get(), bio.get(), bio.get());  // one reference, now the connection's
  bio.release();
  ERR_clear_error();
  const int connected = SSL_connect(ssl.get());
  const long verifyResult = SSL_get_verify_result(ssl.get());
  ERR_clear_error();
  if (connected != 1) {
    // OpenSSL has sent the server the alert for a refused certificate itself.
    return HandshakeFailureResult(verifyResult);
  }
  if (anchor_ != nullptr) {
    anchor_->Set(VerifiedRoot(ssl.get()));
  }
  ssl_ = std::move(ssl);
  established_ = true;
  return HandshakeResult::Ok;
}

CertificatePtr OpenSslTlsSession::PeerCertificate() {
  X509Ptr peer(established_ ? SSL_get1_peer_certificate(ssl_.get()) : nullptr);
  if (!peer) {
    return nullptr;
  }
  return std::make_unique<OpenSslCertificate>(std::move(peer));
}

SendResult OpenSslTlsSession::Send(std::span<const std::uint8_t> message) {
  if (!established_ || message.empty() || message.size() > kMaxRecordPlaintext) {
    return SendResult::EncryptFailed;
  }
  socket_.failed = false;
  ERR_clear_error();
  std::size_t written = 0;
  const int result = SSL_write_ex(ssl_.get(), message.data(), message.size(), &written);
  ERR_clear_error();
  if (result == 1 && written == message.size()) {
    return SendResult::Ok;
  }
  return socket_.failed ? SendResult::SendFailed : SendResult::EncryptFailed;
}

ReceiveResult OpenSslTlsSession::Receive(Bytes& message) {
  message.clear();
  if (!established_) {
    return ReceiveResult::Unreadable;
  }
  socket_.peerClosed = false;
  socket_.failed = false;
  message.resize(kMaxRecordPlaintext);
  std::size_t read = 0;
  ERR_clear_error();
  const int result = SSL_read_ex(ssl_.get(), message.data(), message.size(), &read);
  const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl_.get(), result);
  ERR_clear_error();
  message.resize(result == 1 ? read : 0);
  if (error == SSL_ERROR_NONE) {
    return ReceiveResult::Ok;
  }
  if (error == SSL_ERROR_ZERO_RETURN || socket_.peerClosed) {
    return ReceiveResult::Closed;
  }
  return socket_.failed ? ReceiveResult::ReceiveFailed : ReceiveResult::Unreadable;
}

void OpenSslTlsSession::Close() {
  // SSL_free sends nothing: the server sees the connection end without a closure alert.
  ssl_.reset();
  established_ = false;
}

}  // namespace digital_id
