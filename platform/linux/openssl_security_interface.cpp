#include "platform/linux/openssl_security_interface.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <utility>

#include "platform/linux/openssl_certificate.h"
#include "platform/linux/tls_record_framing.h"

namespace digital_id {

namespace {

// Tags that tell credential handles from context handles ("CRED" and "CTXT").
constexpr std::uintptr_t kCredentialTag = 0x43524544;
constexpr std::uintptr_t kContextTag = 0x43545854;
// The client half of the TLS 1.2 protocol bits.
constexpr std::uint32_t kSpProtTls12Client = 0x800;
// Requirement flags that the engine always honours and reports back as granted.
constexpr std::uint32_t kGrantedFlags = kIscReqReplayDetect | kIscReqSequenceDetect |
                                        kIscReqConfidentiality | kIscReqAllocateMemory |
                                        kIscReqStream;

// The buffers of a list, or an empty span for a null or empty list.
std::span<SecBuffer> BuffersOf(SecBufferDesc* list) {
  if (list == nullptr || list->pBuffers == nullptr) {
    return {};
  }
  return {list->pBuffers, list->cBuffers};
}

// The first buffer of a type in a list; null when there is none.
SecBuffer* FirstOfType(SecBufferDesc* list, std::uint32_t type) {
  for (SecBuffer& buffer : BuffersOf(list)) {
    if (buffer.BufferType == type) {
      return &buffer;
    }
  }
  return nullptr;
}

// The bytes a buffer covers; nullopt when it claims bytes without memory.
std::optional<std::span<std::uint8_t>> BytesOf(const SecBuffer& buffer) {
  if (buffer.cbBuffer == 0) {
    return std::span<std::uint8_t>{};
  }
  if (buffer.pvBuffer == nullptr) {
    return std::nullopt;
  }
  return std::span<std::uint8_t>(static_cast<std::uint8_t*>(buffer.pvBuffer), buffer.cbBuffer);
}

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

// Reports the granted flags, with the extended-error flag when a failure leaves an alert token.
void SetAttributes(std::uint32_t* attributes, std::uint32_t requirements, SecStatus status) {
  if (attributes != nullptr) {
    *attributes =
        (requirements & kGrantedFlags) | (IsSecFailure(status) ? kIscRetExtendedError : 0);
  }
}

}  // namespace

OpenSslSecurityInterface::OpenSslSecurityInterface(
    std::function<std::vector<Bytes>()> extraTrustedRoots)
    : extraTrustedRoots_(std::move(extraTrustedRoots)),
      credentials_(kCredentialTag),
      contexts_(kContextTag) {}

SecStatus OpenSslSecurityInterface::AcquireCredentialsHandle(std::uint32_t enabledProtocols,
                                                             std::uint32_t /*flags*/,
                                                             SecHandle* credential) {
  // The server is always verified, whatever the flags ask: the engine has no manual mode.
  try {
    if (credential == nullptr) {
      return kSecENoCredentials;
    }
    if (enabledProtocols != 0 && (enabledProtocols & kSpProtTls12Client) == 0) {
      return kSecEAlgorithmMismatch;
    }
    const std::vector<Bytes> roots =
        extraTrustedRoots_ ? extraTrustedRoots_() : std::vector<Bytes>{};
    std::shared_ptr<TlsClientCredentials> created = TlsClientCredentials::Create(roots);
    if (!created) {
      return kSecEInternalError;
    }
    *credential = credentials_.Add(std::move(created));
    return kSecEOk;
  } catch (...) {
    return kSecEInternalError;
  }
}

SecStatus OpenSslSecurityInterface::InitializeSecurityContext(
    SecHandle* credential, SecHandle* context, const std::u16string& targetName,
    std::uint32_t requirements, SecBufferDesc* input, SecHandle* newContext, SecBufferDesc* output,
    std::uint32_t* attributes) {
  try {
    if (context == nullptr || !context->IsSet()) {
      return StartContext(credential, targetName, requirements, newContext, output, attributes);
    }
    const std::shared_ptr<ContextEntry> entry = contexts_.Find(context);
    if (!entry) {
      return kSecEInvalidHandle;
    }
    std::lock_guard lock(entry->mutex);
    return ContinueContext(*entry, requirements, input, output, attributes);
  } catch (...) {
    return kSecEInternalError;
  }
}

SecStatus OpenSslSecurityInterface::StartContext(SecHandle* credential,
                                                 const std::u16string& targetName,
                                                 std::uint32_t requirements, SecHandle* newContext,
                                                 SecBufferDesc* output, std::uint32_t* attributes) {
  const std::shared_ptr<TlsClientCredentials> credentials = credentials_.Find(credential);
  if (!credentials) {
    return kSecEInvalidHandle;
  }
  if (newContext == nullptr) {
    return kSecEInternalError;
  }
  const std::optional<std::string> name = AsciiName(targetName);
  if (!name) {
    return kSecEWrongPrincipal;
  }
  auto entry = std::make_shared<ContextEntry>();
  entry->session = TlsClientSession::Create(credentials->Context(), *name);
  if (!entry->session) {
    return kSecEInternalError;
  }
  const HandshakeStep step = entry->session->Start();
  if (IsSecFailure(step.status)) {
    return step.status;
  }
  const SecStatus placed = PlaceToken(output, requirements, step.token);
  if (placed != kSecEOk) {
    return placed;
  }
  *newContext = contexts_.Add(std::move(entry));
  SetAttributes(attributes, requirements, step.status);
  return step.status;
}

SecStatus OpenSslSecurityInterface::ContinueContext(ContextEntry& entry, std::uint32_t requirements,
                                                    SecBufferDesc* input, SecBufferDesc* output,
                                                    std::uint32_t* attributes) {
  SecBuffer* token = FirstOfType(input, kSecBufferToken);
  SecBuffer* extraSlot = FirstOfType(input, kSecBufferEmpty);
  if (token == nullptr || extraSlot == nullptr) {
    return kSecEInvalidToken;
  }
  const std::optional<std::span<std::uint8_t>> received = BytesOf(*token);
  if (!received) {
    return kSecEInvalidToken;
  }
  const HandshakeStep step = entry.session->Continue(*received);
  if (step.status == kSecEIncompleteMessage) {
    return step.status;
  }
  const SecStatus placed = PlaceToken(output, requirements, step.token);
  if (placed != kSecEOk) {
    return placed;
  }
  if (step.extraBytes > 0 && !IsSecFailure(step.status)) {
    extraSlot->BufferType = kSecBufferExtra;
    extraSlot->cbBuffer = static_cast<std::uint32_t>(step.extraBytes);
    extraSlot->pvBuffer = received->data() + (received->size() - step.extraBytes);
  }
  SetAttributes(attributes, requirements, step.status);
  return step.status;
}

SecStatus OpenSslSecurityInterface::PlaceToken(SecBufferDesc* output, std::uint32_t requirements,
                                               const Bytes& token) {
  SecBuffer* buffer = FirstOfType(output, kSecBufferToken);
  if (buffer == nullptr) {
    return token.empty() ? kSecEOk : kSecEInternalError;
  }
  if ((requirements & kIscReqAllocateMemory) == 0) {
    // The caller supplied the memory: the token must fit in it.
    if (token.size() > buffer->cbBuffer || (!token.empty() && buffer->pvBuffer == nullptr)) {
      return kSecEInternalError;
    }
    std::copy(token.begin(), token.end(), static_cast<std::uint8_t*>(buffer->pvBuffer));
    buffer->cbBuffer = static_cast<std::uint32_t>(token.size());
    return kSecEOk;
  }
  buffer->cbBuffer = 0;
  buffer->pvBuffer = nullptr;
  if (token.empty()) {
    return kSecEOk;
  }
  void* allocated = tokens_.Allocate(token);
  if (allocated == nullptr) {
    return kSecEInternalError;
  }
  buffer->pvBuffer = allocated;
  buffer->cbBuffer = static_cast<std::uint32_t>(token.size());
  return kSecEOk;
}

SecStatus OpenSslSecurityInterface::FreeContextBuffer(void* buffer) {
  if (buffer == nullptr) {
    return kSecEOk;
  }
  return tokens_.Release(buffer) ? kSecEOk : kSecEInvalidHandle;
}

SecStatus OpenSslSecurityInterface::DeleteSecurityContext(SecHandle* context) {
  try {
    return contexts_.Remove(context) ? kSecEOk : kSecEInvalidHandle;
  } catch (...) {
    return kSecEInternalError;
  }
}

SecStatus OpenSslSecurityInterface::FreeCredentialsHandle(SecHandle* credential) {
  try {
    return credentials_.Remove(credential) ? kSecEOk : kSecEInvalidHandle;
  } catch (...) {
    return kSecEInternalError;
  }
}

SecStatus OpenSslSecurityInterface::QueryRemoteCertificate(SecHandle* context,
                                                           CertificatePtr& certificate) {
  try {
    const std::shared_ptr<ContextEntry> entry = contexts_.Find(context);
    if (!entry) {
      return kSecEInvalidHandle;
    }
    std::lock_guard lock(entry->mutex);
    X509Ptr peer = entry->session->PeerCertificate();
    if (!peer) {
      return kSecEInternalError;
    }
    auto wrapped = std::make_unique<OpenSslCertificate>(std::move(peer));
    if (wrapped->Encoded().empty()) {
      return kSecEInternalError;
    }
    certificate = std::move(wrapped);
    return kSecEOk;
  } catch (...) {
    return kSecEInternalError;
  }
}

SecStatus OpenSslSecurityInterface::QueryStreamSizes(SecHandle* context, StreamSizes* sizes) {
  try {
    const std::shared_ptr<ContextEntry> entry = contexts_.Find(context);
    if (!entry || sizes == nullptr) {
      return kSecEInvalidHandle;
    }
    std::lock_guard lock(entry->mutex);
    const std::optional<RecordOverhead> overhead = entry->session->Overhead();
    if (!overhead) {
      return kSecEInvalidHandle;
    }
    sizes->cbHeader = overhead->header;
    sizes->cbTrailer = overhead->trailer;
    sizes->cbMaximumMessage = static_cast<std::uint32_t>(kTlsMaxPlaintext);
    sizes->cBuffers = 4;
    sizes->cbBlockSize = overhead->blockSize;
    return kSecEOk;
  } catch (...) {
    return kSecEInternalError;
  }
}

SecStatus OpenSslSecurityInterface::EncryptMessage(SecHandle* context,
                                                   std::uint32_t /*qualityOfProtection*/,
                                                   SecBufferDesc* message,
                                                   std::uint32_t /*sequenceNumber*/) {
  // The record sequence is kept by the connection, as the Windows package does for streams.
  try {
    SecBuffer* header = FirstOfType(message, kSecBufferStreamHeader);
    SecBuffer* data = FirstOfType(message, kSecBufferData);
    SecBuffer* trailer = FirstOfType(message, kSecBufferStreamTrailer);
    if (header == nullptr || data == nullptr || trailer == nullptr || !BytesOf(*header) ||
        !BytesOf(*data) || !BytesOf(*trailer)) {
      return kSecEInvalidToken;
    }
    const std::shared_ptr<ContextEntry> entry = contexts_.Find(context);
    if (!entry) {
      return kSecEInvalidHandle;
    }
    std::lock_guard lock(entry->mutex);
    const std::optional<RecordOverhead> overhead = entry->session->Overhead();
    if (!overhead) {
      return kSecEInvalidHandle;
    }
    if (header->cbBuffer < overhead->header || trailer->cbBuffer < overhead->trailer) {
      return kSecEInvalidToken;
    }
    const std::span<std::uint8_t> plaintext = *BytesOf(*data);
    Bytes record;
    const SecStatus status = entry->session->EncryptRecord(plaintext, record);
    if (status != kSecEOk) {
      return status;
    }
    if (record.size() < overhead->header + plaintext.size() ||
        record.size() - overhead->header - plaintext.size() > trailer->cbBuffer) {
      return kSecEInternalError;
    }
    // The record is laid over the three buffers in order: header, data, then the trailer bytes
    // actually used, so the caller sends header + data + trailer lengths from the header on.
    const std::size_t trailerUsed = record.size() - overhead->header - plaintext.size();
    const auto headerEnd = record.begin() + overhead->header;
    const auto dataEnd = headerEnd + static_cast<std::ptrdiff_t>(plaintext.size());
    std::copy(record.begin(), headerEnd, static_cast<std::uint8_t*>(header->pvBuffer));
    std::copy(headerEnd, dataEnd, plaintext.data());
    std::copy(dataEnd, record.end(), static_cast<std::uint8_t*>(trailer->pvBuffer));
    header->cbBuffer = overhead->header;
    trailer->cbBuffer = static_cast<std::uint32_t>(trailerUsed);
    return kSecEOk;
  } catch (...) {
    return kSecEInternalError;
  }
}

SecStatus OpenSslSecurityInterface::DecryptMessage(SecHandle* context, SecBufferDesc* message,
                                                   std::uint32_t /*sequenceNumber*/,
                                                   std::uint32_t* qualityOfProtection) {
  try {
    // The plaintext and the marks go into the first four buffers, as in stream mode on Windows.
    SecBuffer* data = FirstOfType(message, kSecBufferData);
    if (data == nullptr || BuffersOf(message).size() < 4 || !BytesOf(*data)) {
      return kSecEInvalidToken;
    }
    if (qualityOfProtection != nullptr) {
      *qualityOfProtection = 0;
    }
    const std::shared_ptr<ContextEntry> entry = contexts_.Find(context);
    if (!entry) {
      data->BufferType = kSecBufferEmpty;
      return kSecEInvalidHandle;
    }
    std::lock_guard lock(entry->mutex);
    return DecryptInto(*entry, *message, *data);
  } catch (...) {
    return kSecEInternalError;
  }
}

SecStatus OpenSslSecurityInterface::DecryptInto(ContextEntry& entry, SecBufferDesc& message,
                                                SecBuffer& data) {
  const std::span<std::uint8_t> received = *BytesOf(data);
  if (entry.plaintext.size() < kTlsMaxPlaintext) {
    entry.plaintext.resize(kTlsMaxPlaintext);
  }
  const DecryptedRecord result = entry.session->DecryptFirstRecord(received, entry.plaintext);
  if (result.status == kSecEIncompleteMessage) {
    return result.status;
  }
  if (IsSecFailure(result.status)) {
    // Nothing decrypted: no buffer may be taken for plaintext.
    data.BufferType = kSecBufferEmpty;
    return result.status;
  }
  // Plaintext goes right behind the record's header bytes; the rest of the record is trailer.
  const std::optional<RecordOverhead> overhead = entry.session->Overhead();
  std::size_t headerLength = overhead ? overhead->header : kRecordHeaderSize;
  headerLength = std::min(headerLength, result.recordLength - result.plainLength);
  std::uint8_t* record = received.data();
  std::copy_n(entry.plaintext.begin(), result.plainLength, record + headerLength);
  const std::size_t trailerLength = result.recordLength - headerLength - result.plainLength;
  const std::size_t extraLength = received.size() - result.recordLength;
  SecBuffer* buffers = message.pBuffers;
  buffers[0] = {static_cast<std::uint32_t>(headerLength), kSecBufferStreamHeader, record};
  buffers[1] = {static_cast<std::uint32_t>(result.plainLength), kSecBufferData,
                record + headerLength};
  buffers[2] = {static_cast<std::uint32_t>(trailerLength), kSecBufferStreamTrailer,
                record + headerLength + result.plainLength};
  buffers[3] = extraLength > 0 ? SecBuffer{static_cast<std::uint32_t>(extraLength), kSecBufferExtra,
                                           record + result.recordLength}
                               : SecBuffer{};
  return result.status;
}

}  // namespace digital_id
