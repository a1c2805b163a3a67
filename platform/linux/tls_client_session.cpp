#include "platform/linux/tls_client_session.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <utility>

#include "platform/linux/tls_record_framing.h"
#include "platform/linux/tls_verification_errors.h"

namespace digital_id {

namespace {

// True when text is a dotted IPv4 address, which is checked against the certificate's IP
// addresses and is not announced as a server name.
bool IsDottedIpv4(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// Writes all of bytes into a memory BIO.
bool FeedBio(BIO* bio, std::span<const std::uint8_t> bytes) {
  std::size_t written = 0;
  return bytes.empty() ||
         (BIO_write_ex(bio, bytes.data(), bytes.size(), &written) == 1 && written == bytes.size());
}

}  // namespace

std::unique_ptr<TlsClientSession> TlsClientSession::Create(SSL_CTX* context,
                                                           const std::string& targetName) {
  if (context == nullptr || targetName.empty()) {
    return nullptr;
  }
  SslPtr ssl(SSL_new(context));
  BioPtr readBio(BIO_new(BIO_s_mem()));
  BioPtr writeBio(BIO_new(BIO_s_mem()));
  if (!ssl || !readBio || !writeBio) {
    return nullptr;
  }
  if (IsDottedIpv4(targetName)) {
    if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), targetName.c_str()) != 1) {
      return nullptr;
    }
  } else if (SSL_set_tlsext_host_name(ssl.get(), targetName.c_str()) != 1 ||
             SSL_set1_host(ssl.get(), targetName.c_str()) != 1) {
    return nullptr;
  }
  SSL_set_hostflags(ssl.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  SSL_set_connect_state(ssl.get());
  BIO* readRaw = readBio.release();
  BIO* writeRaw = writeBio.release();
  SSL_set_bio(ssl.get(), readRaw, writeRaw);
  return std::make_unique<TlsClientSession>(std::move(ssl), readRaw, writeRaw);
}

TlsClientSession::TlsClientSession(SslPtr ssl, BIO* readBio, BIO* writeBio)
    : ssl_(std::move(ssl)), readBio_(readBio), writeBio_(writeBio) {}

HandshakeStep TlsClientSession::Start() {
  if (state_ != State::Handshaking) {
    return {kSecEInternalError, {}, 0};
  }
  return Drive(0);
}

HandshakeStep TlsClientSession::Continue(std::span<const std::uint8_t> input) {
  if (state_ != State::Handshaking) {
    return {kSecEInternalError, {}, 0};
  }
  const LeadingRecords records = WholeRecordsAtStart(input);
  if (records.count == 0) {
    if (records.malformedTail) {
      state_ = State::Failed;
      return {kSecEIllegalMessage, {}, 0};
    }
    return {kSecEIncompleteMessage, {}, 0};
  }
  if (!FeedBio(readBio_, input.first(records.length))) {
    state_ = State::Failed;
    return {kSecEInternalError, {}, 0};
  }
  return Drive(input.size() - records.length);
}

HandshakeStep TlsClientSession::Drive(std::size_t unfed) {
  ERR_clear_error();
  const int result = SSL_do_handshake(ssl_.get());
  const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl_.get(), result);
  HandshakeStep step;
  step.token = TakeOutput();
  if (error == SSL_ERROR_NONE || error == SSL_ERROR_WANT_READ) {
    // With read-ahead off OpenSSL stops right behind the record it needed: what is left in the
    // read BIO, and what was never fed, goes back to the caller as extra bytes.
    step.extraBytes = DiscardInput() + unfed;
    step.status = error == SSL_ERROR_NONE ? kSecEOk : kSecIContinueNeeded;
    if (error == SSL_ERROR_NONE) {
      state_ = State::Established;
    }
    return step;
  }
  // The token now holds the alert OpenSSL prepared for the server, if any.
  state_ = State::Failed;
  step.status = HandshakeFailureStatus(SSL_get_verify_result(ssl_.get()), error == SSL_ERROR_SSL);
  DiscardInput();
  ERR_clear_error();
  return step;
}

Bytes TlsClientSession::TakeOutput() {
  Bytes output(BIO_ctrl_pending(writeBio_));
  std::size_t read = 0;
  if (!output.empty() && BIO_read_ex(writeBio_, output.data(), output.size(), &read) == 1) {
    output.resize(read);
  } else {
    output.clear();
  }
  return output;
}

std::size_t TlsClientSession::DiscardInput() {
  const std::size_t left = BIO_ctrl_pending(readBio_);
  BIO_reset(readBio_);
  return left;
}

std::optional<RecordOverhead> TlsClientSession::Overhead() const {
  if (state_ != State::Established) {
    return std::nullopt;
  }
  return RecordOverheadOf(SSL_get_current_cipher(ssl_.get()));
}

SecStatus TlsClientSession::EncryptRecord(std::span<const std::uint8_t> plaintext, Bytes& record) {
  if (state_ != State::Established) {
    return kSecEInvalidHandle;
  }
  if (plaintext.empty() || plaintext.size() > kTlsMaxPlaintext) {
    return kSecEInternalError;
  }
  // Anything OpenSSL queued on its own since (an alert answering a renegotiation request) would
  // make the output more than one record; such a message is dropped.
  TakeOutput();
  ERR_clear_error();
  std::size_t written = 0;
  if (SSL_write_ex(ssl_.get(), plaintext.data(), plaintext.size(), &written) != 1 ||
      written != plaintext.size()) {
    ERR_clear_error();
    return kSecEInternalError;
  }
  record = TakeOutput();
  const RecordExtent extent = FirstRecord(record);
  if (extent.scan != RecordScan::Whole || extent.length != record.size()) {
    return kSecEInternalError;
  }
  return kSecEOk;
}

DecryptedRecord TlsClientSession::DecryptFirstRecord(std::span<const std::uint8_t> bytes,
                                                     std::span<std::uint8_t> plaintext) {
  if (state_ == State::Handshaking) {
    return {kSecEInvalidHandle, 0, 0};
  }
  const RecordExtent extent = FirstRecord(bytes);
  if (extent.scan == RecordScan::Incomplete) {
    return {kSecEIncompleteMessage, 0, 0};
  }
  if (state_ == State::Failed) {
    return {kSecEDecryptFailure, 0, 0};
  }
  if (extent.scan == RecordScan::Malformed || plaintext.size() < kTlsMaxPlaintext) {
    return {kSecEDecryptFailure, 0, 0};
  }
  if (!FeedBio(readBio_, bytes.first(extent.length))) {
    DiscardInput();
    return {kSecEInternalError, 0, 0};
  }
  ERR_clear_error();
  std::size_t read = 0;
  const int result = SSL_read_ex(ssl_.get(), plaintext.data(), plaintext.size(), &read);
  const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl_.get(), result);
  // Only one record was fed; nothing of it may linger for the next call.
  DiscardInput();
  ERR_clear_error();
  switch (error) {
    case SSL_ERROR_NONE:
      return {kSecEOk, extent.length, read};
    case SSL_ERROR_WANT_READ:
      // A record without application data (a warning alert, an empty record, a refused
      // renegotiation request): consumed, nothing to hand back.
      return {kSecEOk, extent.length, 0};
    case SSL_ERROR_ZERO_RETURN:
      // The server's close notification.
      return {kSecIContextExpired, extent.length, 0};
    default:
      state_ = State::Failed;
      return {kSecEDecryptFailure, 0, 0};
  }
}

X509Ptr TlsClientSession::PeerCertificate() const {
  return X509Ptr(SSL_get1_peer_certificate(ssl_.get()));
}

}  // namespace digital_id
