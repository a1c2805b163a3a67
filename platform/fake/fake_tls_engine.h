#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake/fake_cert_services.h"
#include "platform/fake/fake_tls_records.h"
#include "platform/tls_engine.h"

namespace digital_id::fake {

// One answer of the scripted handshake, given to one InitializeSecurityContext call.
struct FakeHandshakeStep {
  SecStatus status = kSecIContinueNeeded;
  Bytes token;                 // output token the client must send (empty: none)
  std::size_t records = 1;     // whole handshake records of the input the call consumes
  bool extendedError = false;  // the attributes report kIscRetExtendedError (alert in token)
};

// One InitializeSecurityContext call as the engine saw it.
struct FakeHandshakeCall {
  bool firstCall = false;  // no existing context was given
  std::u16string targetName;
  std::uint32_t requirements = 0;
  Bytes input;  // the bytes of input buffer [0]
  SecStatus status = 0;
};

// One AcquireCredentialsHandle call.
struct FakeAcquireCall {
  std::uint32_t enabledProtocols = 0;
  std::uint32_t flags = 0;
};

// The default client side of a handshake: the first call gives the client's hello; the call
// that consumes the server's first flight gives the client's finishing flight; the call that
// consumes the server's Finished completes the context.
std::vector<FakeHandshakeStep> DefaultFakeHandshake();
// The server's records for DefaultFakeHandshake(), one per flight, in the order sent.
std::vector<Bytes> FakeServerHandshakeFlights();
// A failure the engine reports with an alert for the server (untrusted root, fatal unknown-CA
// alert as token), consuming one record.
FakeHandshakeStep FakeRejectedCertificateStep();

// An SSPI-shaped engine over the fake record format. The handshake follows a script: the first
// call (no context) answers script step 0 and creates the context; each later call first needs
// the step's number of whole handshake records at the start of its input (else
// kSecEIncompleteMessage without using up the step), consumes them, reports the bytes behind
// them as SECBUFFER_EXTRA and answers the step. A kSecIIncompleteCredentials step, as Schannel
// when the server asks for a client certificate, consumes nothing and reports no extra buffer:
// the next step expects the same input again. After a kSecEOk step the context is established:
// records can be encrypted and decrypted and the remote certificate read. Set the script fields
// before the code under test runs; observations are read under a lock.
class FakeSecurityInterface : public SecurityInterface {
 public:
  SecStatus AcquireCredentialsHandle(std::uint32_t enabledProtocols, std::uint32_t flags,
                                     SecHandle* credential) override;
  SecStatus InitializeSecurityContext(SecHandle* credential, SecHandle* context,
                                      const std::u16string& targetName, std::uint32_t requirements,
                                      SecBufferDesc* input, SecHandle* newContext,
                                      SecBufferDesc* output, std::uint32_t* attributes) override;
  SecStatus FreeContextBuffer(void* buffer) override;
  SecStatus DeleteSecurityContext(SecHandle* context) override;
  SecStatus FreeCredentialsHandle(SecHandle* credential) override;
  SecStatus QueryRemoteCertificate(SecHandle* context, CertificatePtr& certificate) override;
  SecStatus QueryStreamSizes(SecHandle* context, StreamSizes* sizes) override;
  SecStatus EncryptMessage(SecHandle* context, std::uint32_t qualityOfProtection,
                           SecBufferDesc* message, std::uint32_t sequenceNumber) override;
  SecStatus DecryptMessage(SecHandle* context, SecBufferDesc* message, std::uint32_t sequenceNumber,
                           std::uint32_t* qualityOfProtection) override;

  // --- Script ---
  // The client side of the handshake, one step per call that does not answer incomplete.
  std::vector<FakeHandshakeStep> handshake = DefaultFakeHandshake();
  // A failure leaves the credential handle unset.
  SecStatus acquireStatus = kSecEOk;
  // The server's certificate of an established context; nullopt: the query fails.
  std::optional<FakeCertificateData> remoteCertificate =
      FakeCertificateData{u"ca.example.test", u"Example Issuing CA", 0, ~0ULL, kSha256RsaOid, "77"};
  // Trailer bytes EncryptMessage uses (1 to kFakeTrailerSize); fewer shrink the trailer buffer.
  std::uint32_t trailerUsed = kFakeTrailerSize;
  // A failure makes EncryptMessage answer it without touching the buffers.
  SecStatus encryptStatus = kSecEOk;

  // A context that is already established, as after a successful handshake; for tests of the
  // record layer that skip the handshake.
  SecHandle EstablishContext();

  // --- Observations ---
  // Every InitializeSecurityContext call, in order.
  std::vector<FakeHandshakeCall> HandshakeCalls() const;
  // Every AcquireCredentialsHandle call, in order.
  std::vector<FakeAcquireCall> AcquireCalls() const;
  // Successful releases of credentials, contexts and tokens.
  int FreeCredentialsCount() const;
  int DeleteContextCount() const;
  int FreeContextBufferCount() const;
  int LiveCredentials() const;     // acquired and not freed
  int LiveContexts() const;        // created and not deleted
  int LiveTokens() const;          // tokens handed out and not freed
  int InvalidHandleCalls() const;  // frees or deletes of handles not (or no longer) held
  // EncryptMessage and DecryptMessage calls.
  int EncryptCount() const;
  int DecryptCount() const;

 private:
  struct ContextState {
    std::size_t nextStep = 1;
    bool established = false;
  };
  using HandleKey = std::pair<std::uintptr_t, std::uintptr_t>;
  ContextState* FindContext(const SecHandle* context);
  void HandOutToken(const Bytes& token, SecBufferDesc* output);

  mutable std::mutex mutex_;
  std::uintptr_t nextHandle_ = 1;
  std::set<HandleKey> credentials_;
  std::map<HandleKey, ContextState> contexts_;
  std::map<const void*, std::unique_ptr<std::uint8_t[]>> tokens_;
  std::vector<FakeHandshakeCall> calls_;
  std::vector<FakeAcquireCall> acquires_;
  int freedCredentials_ = 0;
  int deletedContexts_ = 0;
  int freedTokens_ = 0;
  int invalidHandles_ = 0;
  int encrypts_ = 0;
  int decrypts_ = 0;
};

// The TLS engine: hands out the fake security interface once a test makes it available. It
// starts unavailable (InitSecurityInterface answers null), so that a run that does not script the
// secure channel stops before connecting; set available = true to let the network phase in.
class FakeTlsEngine : public TlsEngine {
 public:
  SecurityInterface* InitSecurityInterface() override { return available ? &security : nullptr; }

  bool available = false;  // true: InitSecurityInterface hands out security
  FakeSecurityInterface security;
};

}  // namespace digital_id::fake
