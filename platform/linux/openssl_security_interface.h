#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/context_buffer_pool.h"
#include "platform/linux/sec_handle_registry.h"
#include "platform/linux/tls_client_credentials.h"
#include "platform/linux/tls_client_session.h"
#include "platform/tls_engine.h"

namespace digital_id {

// The security-support function table on OpenSSL: TLS 1.2 client contexts without a client
// certificate, fed and drained through caller buffers the way the Windows package is.
class OpenSslSecurityInterface : public SecurityInterface {
 public:
  // extraTrustedRoots yields DER roots trusted besides the system's; it is asked again for each
  // credential, so a root installed since the last one is trusted by the next handshake.
  explicit OpenSslSecurityInterface(std::function<std::vector<Bytes>()> extraTrustedRoots);

  // New credentials with a trust store built now; kSecEAlgorithmMismatch without TLS 1.2.
  SecStatus AcquireCredentialsHandle(std::uint32_t enabledProtocols, std::uint32_t flags,
                                     SecHandle* credential) override;
  // One handshake step: a new context and the client hello, or received bytes fed in with any
  // unconsumed ones reported in input buffer [1]; failures carry the alert as the token.
  SecStatus InitializeSecurityContext(SecHandle* credential, SecHandle* context,
                                      const std::u16string& targetName, std::uint32_t requirements,
                                      SecBufferDesc* input, SecHandle* newContext,
                                      SecBufferDesc* output, std::uint32_t* attributes) override;
  // Releases a token this engine allocated; kSecEInvalidHandle for any other pointer.
  SecStatus FreeContextBuffer(void* buffer) override;
  // Releases a context and clears the handle; kSecEInvalidHandle when it is unknown.
  SecStatus DeleteSecurityContext(SecHandle* context) override;
  // Releases credentials and clears the handle; kSecEInvalidHandle when they are unknown.
  SecStatus FreeCredentialsHandle(SecHandle* credential) override;
  // The server's certificate as an OpenSslCertificate.
  SecStatus QueryRemoteCertificate(SecHandle* context, CertificatePtr& certificate) override;
  // Header and trailer sizes of the negotiated cipher; cbMaximumMessage 16384.
  SecStatus QueryStreamSizes(SecHandle* context, StreamSizes* sizes) override;
  // Encrypts the data buffer as one record over the header, data and trailer buffers, shrinking
  // the trailer to the bytes used.
  SecStatus EncryptMessage(SecHandle* context, std::uint32_t qualityOfProtection,
                           SecBufferDesc* message, std::uint32_t sequenceNumber) override;
  // Decrypts the first record of the data buffer in place into buffers [0] to [3] (header,
  // data, trailer, extra); an incomplete record is left untouched, a failure marks no data.
  SecStatus DecryptMessage(SecHandle* context, SecBufferDesc* message, std::uint32_t sequenceNumber,
                           std::uint32_t* qualityOfProtection) override;

 private:
  // A context: its connection, used by one call at a time, and room for one record's plaintext.
  struct ContextEntry {
    std::mutex mutex;
    std::unique_ptr<TlsClientSession> session;
    std::vector<std::uint8_t> plaintext;
  };

  // The first handshake call: makes the context and the client's first flight.
  SecStatus StartContext(SecHandle* credential, const std::u16string& targetName,
                         std::uint32_t requirements, SecHandle* newContext, SecBufferDesc* output,
                         std::uint32_t* attributes);
  // A later handshake call: feeds the received bytes of input buffer [0].
  SecStatus ContinueContext(ContextEntry& entry, std::uint32_t requirements, SecBufferDesc* input,
                            SecBufferDesc* output, std::uint32_t* attributes);
  // Hands a token to the caller in the first token buffer of output.
  SecStatus PlaceToken(SecBufferDesc* output, std::uint32_t requirements, const Bytes& token);
  // Decrypts with the buffer list already checked; data is the buffer holding the record.
  SecStatus DecryptInto(ContextEntry& entry, SecBufferDesc& message, SecBuffer& data);

  std::function<std::vector<Bytes>()> extraTrustedRoots_;
  SecHandleRegistry<TlsClientCredentials> credentials_;
  SecHandleRegistry<ContextEntry> contexts_;
  ContextBufferPool tokens_;
};

}  // namespace digital_id
