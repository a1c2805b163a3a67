#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/fake/fake_cert_services.h"
#include "platform/fake/fake_sockets.h"
#include "platform/win/sspi/sspi_table.h"

// A scripted security package for the tests of the Windows TLS session, with its wire format.
// Every record starts with a real 5-byte TLS header (content type, version 0x03 0x03, 2-byte
// big-endian length of what follows), so the session's record framing works on it as on TLS:
//   application data (0x17): header, payload (each byte XOR kCipherMask, so no plaintext shows
//                            on the wire), trailer (n bytes of value n; 16 unless shrunk)
//   handshake (0x16):        header, body in clear (the package only counts these records)
//   alert (0x15):            header, level byte, description byte
namespace digital_id::sspi::testing {

inline constexpr std::uint8_t kAlertType = 0x15;
inline constexpr std::uint8_t kHandshakeType = 0x16;
inline constexpr std::uint8_t kApplicationDataType = 0x17;
inline constexpr std::size_t kHeaderSize = 5;
inline constexpr std::size_t kTrailerSize = 16;  // the largest trailer, as the stream sizes say
inline constexpr std::uint8_t kCipherMask = 0x5A;

// One server message as one application-data record with the full trailer.
Bytes MakeRecord(std::string_view message);
Bytes MakeRecord(const Bytes& message);
// A handshake record carrying body in clear.
Bytes MakeHandshakeRecord(std::string_view body);
// An alert record (level 2 is fatal; description 48 is "unknown CA", 0 "close notify").
Bytes MakeAlertRecord(std::uint8_t level, std::uint8_t description);
// Concatenates byte strings, e.g. two records that arrive in one read.
Bytes Joined(const std::vector<Bytes>& parts);

// One whole record read back from the wire.
struct WireRecord {
  std::uint8_t type = 0;
  Bytes body;          // for application data: the decoded plaintext, else the bytes as sent
  bool intact = true;  // false for application data whose trailer is malformed
};
// The whole records at the start of wire, in order.
std::vector<WireRecord> ParseRecords(const Bytes& wire);
// The plaintext of every intact application-data record in wire, in order.
std::vector<std::string> ClientMessages(const Bytes& wire);

// One answer of the scripted handshake, given to one InitializeSecurityContext call.
struct HandshakeStep {
  SecStatus status = kSecIContinueNeeded;
  Bytes token;                 // output token the client must send (empty: none)
  std::size_t records = 1;     // whole handshake records of the input the call consumes
  bool extendedError = false;  // the attributes report kIscRetExtendedError (alert in token)
  bool leavesInput = false;    // consumes nothing and reports no extra bytes (as Schannel does
                               // when it answers kSecIIncompleteCredentials)
};

// One InitializeSecurityContext call as the package saw it.
struct HandshakeCall {
  bool firstCall = false;  // no existing context was given
  std::u16string targetName;
  std::uint32_t requirements = 0;
  Bytes input;  // the bytes of input buffer [0]
  SecStatus status = 0;
};

// The client side of a handshake: the hello; the finishing flight, on consuming the server's
// first flight; the complete context, on consuming the server's Finished.
std::vector<HandshakeStep> DefaultHandshake();
// The server's records for DefaultHandshake(), one per flight.
std::vector<Bytes> ServerHandshakeFlights();
// A refusal of the server's certificate with an alert for it, consuming one record.
HandshakeStep RejectedCertificateStep();
// Queues the server's side of DefaultHandshake() on the sockets, one read per flight.
void QueueServerHandshake(fake::FakeSockets& sockets);

// A package over the wire format above. The first handshake call answers step 0 and creates
// the context; each later call first needs the step's number of whole handshake records at the
// start of its input (else kSecEIncompleteMessage, the step not used up), consumes them, reports
// the bytes behind them as extra and answers the step. After a kSecEOk step, records can be
// encrypted and decrypted and the server's certificate read.
class ScriptedTable : public SspiTable {
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
  std::vector<HandshakeStep> handshake = DefaultHandshake();
  // A failure leaves the credential handle unset.
  SecStatus acquireStatus = kSecEOk;
  // The server's certificate of an established context; nullopt: the query fails.
  std::optional<fake::FakeCertificateData> remoteCertificate =
      fake::FakeCertificateData{u"ca.example.test", u"Example Issuing CA", 0, ~0ULL, "", "77"};
  // Trailer bytes EncryptMessage uses (1 to kTrailerSize); fewer shrink the trailer buffer.
  std::uint32_t trailerUsed = kTrailerSize;
  // A failure makes EncryptMessage answer it without touching the buffers.
  SecStatus encryptStatus = kSecEOk;

  // --- Observations ---
  std::vector<HandshakeCall> calls;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> acquires;  // protocols and flags
  int freedCredentials = 0;
  int deletedContexts = 0;
  int freedTokens = 0;
  int invalidHandles = 0;  // frees or deletes of handles not (or no longer) held
  int encrypts = 0;
  int decrypts = 0;
  int LiveCredentials() const { return static_cast<int>(credentials_.size()); }
  int LiveContexts() const { return static_cast<int>(contexts_.size()); }
  int LiveTokens() const { return static_cast<int>(tokens_.size()); }

 private:
  struct ContextState {
    std::size_t nextStep = 1;
    bool established = false;
  };
  ContextState* FindContext(const SecHandle* context);
  SecStatus Answer(HandshakeCall call, const HandshakeStep& step, std::uint32_t requirements,
                   SecBufferDesc* output, std::uint32_t* attributes);

  std::uintptr_t nextHandle_ = 1;
  std::set<std::uintptr_t> credentials_;
  std::map<std::uintptr_t, ContextState> contexts_;
  std::map<const void*, std::unique_ptr<std::uint8_t[]>> tokens_;
};

}  // namespace digital_id::sspi::testing
