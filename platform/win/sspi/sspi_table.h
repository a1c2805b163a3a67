#pragma once

#include <cstdint>
#include <string>

#include "platform/cert_store.h"

// The Security Support Provider Interface as the Windows TLS session drives it: the statuses,
// buffers and handles with the values and layout of the Windows ones, and the table of functions
// it calls. Portable C++, so that the handshake loop and the record handling written against it
// are tested on every platform with a scripted table; the real table binds to the function table
// of InitSecurityInterfaceW (platform/win/tls/schannel_table.h).
namespace digital_id::sspi {

// Security-support statuses, with the values of the Windows constants.
using SecStatus = std::int32_t;
inline constexpr SecStatus kSecEOk = 0;
inline constexpr SecStatus kSecIContinueNeeded = 0x00090312;
inline constexpr SecStatus kSecIContextExpired = 0x00090317;
inline constexpr SecStatus kSecIIncompleteCredentials = 0x00090320;
inline constexpr SecStatus kSecEInvalidHandle = static_cast<SecStatus>(0x80090301);
inline constexpr SecStatus kSecEInternalError = static_cast<SecStatus>(0x80090304);
inline constexpr SecStatus kSecEInvalidToken = static_cast<SecStatus>(0x80090308);
inline constexpr SecStatus kSecENoCredentials = static_cast<SecStatus>(0x8009030E);
inline constexpr SecStatus kSecEIncompleteMessage = static_cast<SecStatus>(0x80090318);
inline constexpr SecStatus kSecEWrongPrincipal = static_cast<SecStatus>(0x80090322);
inline constexpr SecStatus kSecEUntrustedRoot = static_cast<SecStatus>(0x80090325);
inline constexpr SecStatus kSecEIllegalMessage = static_cast<SecStatus>(0x80090326);
inline constexpr SecStatus kSecECertUnknown = static_cast<SecStatus>(0x80090327);
inline constexpr SecStatus kSecECertExpired = static_cast<SecStatus>(0x80090328);
inline constexpr SecStatus kSecEDecryptFailure = static_cast<SecStatus>(0x80090330);

// True when a status is a failure (negative as a signed 32-bit value).
constexpr bool IsSecFailure(SecStatus status) {
  return status < 0;
}

// Buffer types.
inline constexpr std::uint32_t kSecBufferEmpty = 0;
inline constexpr std::uint32_t kSecBufferData = 1;
inline constexpr std::uint32_t kSecBufferToken = 2;
inline constexpr std::uint32_t kSecBufferExtra = 5;
inline constexpr std::uint32_t kSecBufferStreamTrailer = 6;
inline constexpr std::uint32_t kSecBufferStreamHeader = 7;
inline constexpr std::uint32_t kSecBufferVersion = 0;

// Context requirement and return flags.
inline constexpr std::uint32_t kIscReqReplayDetect = 0x4;
inline constexpr std::uint32_t kIscReqSequenceDetect = 0x8;
inline constexpr std::uint32_t kIscReqConfidentiality = 0x10;
inline constexpr std::uint32_t kIscReqAllocateMemory = 0x100;
inline constexpr std::uint32_t kIscReqExtendedError = 0x4000;
inline constexpr std::uint32_t kIscReqStream = 0x8000;
inline constexpr std::uint32_t kIscRetExtendedError = 0x4000;

// Schannel credential values.
inline constexpr std::uint32_t kSpProtTls12Client = 0x800;     // TLS 1.2, the client side only
inline constexpr std::uint32_t kSchCredNoDefaultCreds = 0x10;  // never pick a client certificate
inline constexpr std::uint32_t kSchCredAutoCredValidation = 0x20;

// One buffer of a buffer list (SecBuffer).
struct SecBuffer {
  std::uint32_t cbBuffer = 0;
  std::uint32_t BufferType = kSecBufferEmpty;
  void* pvBuffer = nullptr;
};

// A buffer list (SecBufferDesc).
struct SecBufferDesc {
  std::uint32_t ulVersion = kSecBufferVersion;
  std::uint32_t cBuffers = 0;
  SecBuffer* pBuffers = nullptr;
};

// A credentials or context handle (CredHandle, CtxtHandle); both words 0 when unset.
struct SecHandle {
  std::uintptr_t dwLower = 0;
  std::uintptr_t dwUpper = 0;
  bool IsSet() const { return dwLower != 0 || dwUpper != 0; }
};

// Record sizes of an established context (SecPkgContext_StreamSizes).
struct StreamSizes {
  std::uint32_t cbHeader = 0;
  std::uint32_t cbTrailer = 0;
  std::uint32_t cbMaximumMessage = 0;
  std::uint32_t cBuffers = 0;
  std::uint32_t cbBlockSize = 0;
};

// The security-support functions of the TLS client package.
class SspiTable {
 public:
  virtual ~SspiTable() = default;

  // Acquires outbound client credentials without a client certificate, for the given protocols
  // and flags (kSpProtTls12Client; kSchCredNoDefaultCreds with kSchCredAutoCredValidation).
  virtual SecStatus AcquireCredentialsHandle(std::uint32_t enabledProtocols, std::uint32_t flags,
                                             SecHandle* credential) = 0;
  // One handshake step. The first call passes a null context and receives newContext; later
  // calls pass the context, which is updated in place. Validates the server's chain and name.
  virtual SecStatus InitializeSecurityContext(SecHandle* credential, SecHandle* context,
                                              const std::u16string& targetName,
                                              std::uint32_t requirements, SecBufferDesc* input,
                                              SecHandle* newContext, SecBufferDesc* output,
                                              std::uint32_t* attributes) = 0;
  // Frees a token the package allocated.
  virtual SecStatus FreeContextBuffer(void* buffer) = 0;
  // Releases a security context.
  virtual SecStatus DeleteSecurityContext(SecHandle* context) = 0;
  // Releases credentials.
  virtual SecStatus FreeCredentialsHandle(SecHandle* credential) = 0;
  // The server's certificate of an established context (SECPKG_ATTR_REMOTE_CERT_CONTEXT).
  virtual SecStatus QueryRemoteCertificate(SecHandle* context, CertificatePtr& certificate) = 0;
  // Header and trailer sizes of one record (SECPKG_ATTR_STREAM_SIZES).
  virtual SecStatus QueryStreamSizes(SecHandle* context, StreamSizes* sizes) = 0;
  // Encrypts header, data and trailer buffers in place into one record; may shrink the trailer.
  virtual SecStatus EncryptMessage(SecHandle* context, std::uint32_t qualityOfProtection,
                                   SecBufferDesc* message, std::uint32_t sequenceNumber) = 0;
  // Decrypts the first record of a data buffer in place, marking header, data, trailer and any
  // bytes behind the record as extra.
  virtual SecStatus DecryptMessage(SecHandle* context, SecBufferDesc* message,
                                   std::uint32_t sequenceNumber,
                                   std::uint32_t* qualityOfProtection) = 0;
};

}  // namespace digital_id::sspi
