#pragma once

#include <openssl/bio.h>
#include <openssl/ssl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/cert_store.h"
#include "platform/linux/openssl_handles.h"
#include "platform/linux/openssl_tls_handles.h"
#include "platform/linux/tls_record_overhead.h"
#include "platform/tls_engine.h"

namespace digital_id {

// Outcome of one handshake step.
struct HandshakeStep {
  SecStatus status = kSecEInternalError;
  Bytes token;                 // bytes for the server: a handshake flight or an alert
  std::size_t extraBytes = 0;  // bytes at the end of the input that were not consumed
};

// Outcome of decrypting the first record of a buffer.
struct DecryptedRecord {
  SecStatus status = kSecEInternalError;
  std::size_t recordLength = 0;  // bytes of the record, header included, once it was consumed
  std::size_t plainLength = 0;   // plaintext bytes written to the output
};

// One TLS 1.2 client connection over two memory BIOs: the caller carries bytes between it and
// the socket. OpenSSL only ever sees whole records, so an incomplete one stays with the caller.
class TlsClientSession {
 public:
  // A connection that announces and checks targetName (checked as an address when it is a
  // dotted IPv4 address); null when OpenSSL cannot make one or the name is unusable.
  static std::unique_ptr<TlsClientSession> Create(SSL_CTX* context, const std::string& targetName);

  // Produces the client's first flight (kSecIContinueNeeded with a token).
  HandshakeStep Start();
  // Feeds received handshake bytes; kSecEIncompleteMessage when they hold no whole record.
  HandshakeStep Continue(std::span<const std::uint8_t> input);
  // True once the handshake has completed.
  bool IsEstablished() const { return state_ == State::Established; }

  // Header and trailer sizes of the negotiated cipher; nullopt before the handshake completed.
  std::optional<RecordOverhead> Overhead() const;
  // Encrypts 1 to 16384 bytes as exactly one record, stored in record.
  SecStatus EncryptRecord(std::span<const std::uint8_t> plaintext, Bytes& record);
  // Decrypts the first record of bytes into plaintext, which must hold 16384 bytes. Nothing is
  // consumed and nothing is written when the record is incomplete or fails to decrypt.
  DecryptedRecord DecryptFirstRecord(std::span<const std::uint8_t> bytes,
                                     std::span<std::uint8_t> plaintext);
  // The server's certificate, once the server has sent it; null otherwise.
  X509Ptr PeerCertificate() const;

  // Wraps a configured connection whose BIOs it owns; Create is the way to make one.
  TlsClientSession(SslPtr ssl, BIO* readBio, BIO* writeBio);

 private:
  enum class State { Handshaking, Established, Failed };

  // Runs the handshake on what the read BIO holds; unfed is the count of input bytes behind it.
  HandshakeStep Drive(std::size_t unfed);
  // Takes everything OpenSSL wrote for the server.
  Bytes TakeOutput();
  // Drops whatever remains in the read BIO, returning how many bytes that was.
  std::size_t DiscardInput();

  SslPtr ssl_;
  BIO* readBio_;   // owned by ssl_
  BIO* writeBio_;  // owned by ssl_
  State state_ = State::Handshaking;
};

}  // namespace digital_id
