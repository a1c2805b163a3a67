#include "platform/fake/fake_tls_engine.h"

#include <cstring>

namespace digital_id::fake {

namespace {

// Second words of the handles, so that a credential is never taken for a context.
constexpr std::uintptr_t kCredentialTag = 0xC4ED;
constexpr std::uintptr_t kContextTag = 0xC07E;
// SEC_E_BUFFER_TOO_SMALL.
constexpr SecStatus kSecEBufferTooSmall = static_cast<SecStatus>(0x80090321);

std::size_t RecordBodyLength(const std::uint8_t* data) {
  return (static_cast<std::size_t>(data[3]) << 8) | data[4];
}

// The buffer of a given type in a list; null when there is none.
SecBuffer* FindBuffer(SecBufferDesc* list, std::uint32_t type) {
  if (list == nullptr || list->pBuffers == nullptr) return nullptr;
  for (std::uint32_t i = 0; i < list->cBuffers; ++i) {
    if (list->pBuffers[i].BufferType == type) return &list->pBuffers[i];
  }
  return nullptr;
}

}  // namespace

std::vector<FakeHandshakeStep> DefaultFakeHandshake() {
  return {{kSecIContinueNeeded, MakeFakeHandshakeRecord("client hello"), 0, false},
          {kSecIContinueNeeded, MakeFakeHandshakeRecord("client key exchange, finished"), 1, false},
          {kSecEOk, {}, 1, false}};
}

std::vector<Bytes> FakeServerHandshakeFlights() {
  return {MakeFakeHandshakeRecord("server hello, certificate, hello done"),
          MakeFakeHandshakeRecord("server finished")};
}

FakeHandshakeStep FakeRejectedCertificateStep() {
  return {kSecEUntrustedRoot, MakeFakeAlertRecord(2, 48), 1, true};
}

SecStatus FakeSecurityInterface::AcquireCredentialsHandle(std::uint32_t enabledProtocols,
                                                          std::uint32_t flags,
                                                          SecHandle* credential) {
  std::lock_guard lock(mutex_);
  acquires_.push_back({enabledProtocols, flags});
  if (IsSecFailure(acquireStatus)) return acquireStatus;
  if (credential == nullptr) return kSecEInvalidHandle;
  *credential = SecHandle{nextHandle_++, kCredentialTag};
  credentials_.insert({credential->dwLower, credential->dwUpper});
  return kSecEOk;
}

SecStatus FakeSecurityInterface::InitializeSecurityContext(
    SecHandle* credential, SecHandle* context, const std::u16string& targetName,
    std::uint32_t requirements, SecBufferDesc* input, SecHandle* newContext, SecBufferDesc* output,
    std::uint32_t* attributes) {
  std::lock_guard lock(mutex_);
  FakeHandshakeCall call{context == nullptr, targetName, requirements, {}, 0};
  auto answer = [&](SecStatus status) {
    call.status = status;
    calls_.push_back(call);
    return status;
  };
  if (attributes != nullptr) *attributes = 0;
  if (credential == nullptr ||
      credentials_.count({credential->dwLower, credential->dwUpper}) == 0) {
    return answer(kSecEInvalidHandle);
  }
  const FakeHandshakeStep unexpected{kSecEInvalidToken, {}, 0, false};

  if (context == nullptr) {
    if (newContext == nullptr) return answer(kSecEInvalidHandle);
    const FakeHandshakeStep& step = handshake.empty() ? unexpected : handshake.front();
    if (!IsSecFailure(step.status)) {
      *newContext = SecHandle{nextHandle_++, kContextTag};
      contexts_[{newContext->dwLower, newContext->dwUpper}] =
          ContextState{1, step.status == kSecEOk};
    }
    HandOutToken(step.token, output);
    if (attributes != nullptr) {
      *attributes =
          (requirements & ~kIscRetExtendedError) | (step.extendedError ? kIscRetExtendedError : 0);
    }
    return answer(step.status);
  }

  ContextState* state = FindContext(context);
  if (state == nullptr) return answer(kSecEInvalidHandle);
  if (input == nullptr || input->cBuffers < 2 || input->pBuffers == nullptr ||
      input->pBuffers[0].BufferType != kSecBufferToken) {
    return answer(kSecEInvalidToken);
  }
  SecBuffer& held = input->pBuffers[0];
  const auto* data = static_cast<const std::uint8_t*>(held.pvBuffer);
  const std::size_t size = data == nullptr ? 0 : held.cbBuffer;
  call.input.assign(data, data + size);
  if (state->established) return answer(kSecEInternalError);

  const FakeHandshakeStep& step =
      state->nextStep < handshake.size() ? handshake[state->nextStep] : unexpected;
  std::size_t consumed = 0;
  for (std::size_t i = 0; i < step.records; ++i) {
    if (size - consumed < kFakeHeaderSize) return answer(kSecEIncompleteMessage);
    const std::size_t recordSize = kFakeHeaderSize + RecordBodyLength(data + consumed);
    if (size - consumed < recordSize) return answer(kSecEIncompleteMessage);
    if (data[consumed] != kFakeHandshakeType) return answer(kSecEIllegalMessage);
    consumed += recordSize;
  }
  ++state->nextStep;
  // As Schannel, incomplete credentials consume nothing and report no extra buffer.
  if (step.status == kSecEOk) state->established = true;
  if (consumed < size && step.status != kSecIIncompleteCredentials) {
    SecBuffer& extra = input->pBuffers[1];
    extra.BufferType = kSecBufferExtra;
    extra.cbBuffer = static_cast<std::uint32_t>(size - consumed);
    extra.pvBuffer = nullptr;  // as Schannel: only the count tells where the extra bytes are
  }
  HandOutToken(step.token, output);
  if (attributes != nullptr) {
    *attributes =
        (requirements & ~kIscRetExtendedError) | (step.extendedError ? kIscRetExtendedError : 0);
  }
  return answer(step.status);
}

SecStatus FakeSecurityInterface::FreeContextBuffer(void* buffer) {
  std::lock_guard lock(mutex_);
  if (tokens_.erase(buffer) == 0) {
    ++invalidHandles_;
    return kSecEInvalidHandle;
  }
  ++freedTokens_;
  return kSecEOk;
}

SecStatus FakeSecurityInterface::DeleteSecurityContext(SecHandle* context) {
  std::lock_guard lock(mutex_);
  if (context == nullptr || contexts_.erase({context->dwLower, context->dwUpper}) == 0) {
    ++invalidHandles_;
    return kSecEInvalidHandle;
  }
  ++deletedContexts_;
  return kSecEOk;
}

SecStatus FakeSecurityInterface::FreeCredentialsHandle(SecHandle* credential) {
  std::lock_guard lock(mutex_);
  if (credential == nullptr ||
      credentials_.erase({credential->dwLower, credential->dwUpper}) == 0) {
    ++invalidHandles_;
    return kSecEInvalidHandle;
  }
  ++freedCredentials_;
  return kSecEOk;
}

SecStatus FakeSecurityInterface::QueryRemoteCertificate(SecHandle* context,
                                                        CertificatePtr& certificate) {
  std::lock_guard lock(mutex_);
  certificate.reset();
  const ContextState* state = FindContext(context);
  if (state == nullptr || !state->established) return kSecEInvalidHandle;
  if (!remoteCertificate) return kSecECertUnknown;
  certificate = std::make_unique<FakeCertificate>(*remoteCertificate);
  return kSecEOk;
}

SecStatus FakeSecurityInterface::QueryStreamSizes(SecHandle* context, StreamSizes* sizes) {
  std::lock_guard lock(mutex_);
  const ContextState* state = FindContext(context);
  if (state == nullptr || !state->established || sizes == nullptr) return kSecEInvalidHandle;
  *sizes = StreamSizes{kFakeHeaderSize, kFakeTrailerSize, 16384, 4, 16};
  return kSecEOk;
}

SecStatus FakeSecurityInterface::EncryptMessage(SecHandle* context, std::uint32_t,
                                                SecBufferDesc* message, std::uint32_t) {
  std::lock_guard lock(mutex_);
  ++encrypts_;
  const ContextState* state = FindContext(context);
  if (state == nullptr || !state->established) return kSecEInvalidHandle;
  if (IsSecFailure(encryptStatus)) return encryptStatus;
  SecBuffer* header = FindBuffer(message, kSecBufferStreamHeader);
  SecBuffer* data = FindBuffer(message, kSecBufferData);
  SecBuffer* trailer = FindBuffer(message, kSecBufferStreamTrailer);
  if (header == nullptr || data == nullptr || trailer == nullptr) return kSecEInvalidToken;
  const std::uint32_t used = trailerUsed < 1 ? 1 : std::min<std::uint32_t>(trailerUsed, 255);
  if (header->cbBuffer < kFakeHeaderSize || trailer->cbBuffer < used || data->cbBuffer > 16384) {
    return kSecEBufferTooSmall;
  }
  const std::size_t bodyLength = data->cbBuffer + used;
  auto* head = static_cast<std::uint8_t*>(header->pvBuffer);
  head[0] = kFakeApplicationDataType;
  head[1] = 0x03;
  head[2] = 0x03;
  head[3] = static_cast<std::uint8_t>((bodyLength >> 8) & 0xFF);
  head[4] = static_cast<std::uint8_t>(bodyLength & 0xFF);
  header->cbBuffer = kFakeHeaderSize;
  auto* payload = static_cast<std::uint8_t*>(data->pvBuffer);
  for (std::uint32_t i = 0; i < data->cbBuffer; ++i) payload[i] ^= kFakeCipherMask;
  std::memset(trailer->pvBuffer, static_cast<int>(used), used);
  trailer->cbBuffer = used;
  return kSecEOk;
}

SecStatus FakeSecurityInterface::DecryptMessage(SecHandle* context, SecBufferDesc* message,
                                                std::uint32_t, std::uint32_t*) {
  std::lock_guard lock(mutex_);
  ++decrypts_;
  const ContextState* state = FindContext(context);
  if (state == nullptr || !state->established) return kSecEInvalidHandle;
  if (message == nullptr || message->cBuffers < 4 || message->pBuffers == nullptr ||
      message->pBuffers[0].BufferType != kSecBufferData) {
    return kSecEInvalidToken;
  }
  SecBuffer* buffers = message->pBuffers;
  auto* bytes = static_cast<std::uint8_t*>(buffers[0].pvBuffer);
  const std::size_t size = bytes == nullptr ? 0 : buffers[0].cbBuffer;
  // An incomplete record leaves every buffer as it was.
  if (size < kFakeHeaderSize) return kSecEIncompleteMessage;
  const std::size_t bodyLength = RecordBodyLength(bytes);
  const std::size_t recordSize = kFakeHeaderSize + bodyLength;
  if (size < recordSize) return kSecEIncompleteMessage;
  if (bytes[1] != 0x03 || bytes[2] != 0x03) return kSecEIllegalMessage;

  std::uint8_t* body = bytes + kFakeHeaderSize;
  SecStatus status = kSecEOk;
  if (bytes[0] == kFakeAlertType) {
    // The server's alert ends the context's use: no data.
    buffers[0] = {static_cast<std::uint32_t>(kFakeHeaderSize), kSecBufferStreamHeader, bytes};
    buffers[1] = {static_cast<std::uint32_t>(bodyLength), kSecBufferStreamTrailer, body};
    buffers[2] = {};
    status = kSecIContextExpired;
  } else if (bytes[0] == kFakeApplicationDataType) {
    const std::size_t trailer = FakeTrailerLength(body, bodyLength);
    if (trailer == 0) return kSecEDecryptFailure;
    const std::size_t payloadLength = bodyLength - trailer;
    for (std::size_t i = 0; i < payloadLength; ++i) body[i] ^= kFakeCipherMask;
    buffers[0] = {static_cast<std::uint32_t>(kFakeHeaderSize), kSecBufferStreamHeader, bytes};
    buffers[1] = {static_cast<std::uint32_t>(payloadLength), kSecBufferData, body};
    buffers[2] = {static_cast<std::uint32_t>(trailer), kSecBufferStreamTrailer,
                  body + payloadLength};
  } else {
    return kSecEIllegalMessage;
  }
  buffers[3] = {};
  if (size > recordSize) {
    buffers[3] = {static_cast<std::uint32_t>(size - recordSize), kSecBufferExtra,
                  bytes + recordSize};
  }
  return status;
}

SecHandle FakeSecurityInterface::EstablishContext() {
  std::lock_guard lock(mutex_);
  const SecHandle context{nextHandle_++, kContextTag};
  contexts_[{context.dwLower, context.dwUpper}] = ContextState{handshake.size(), true};
  return context;
}

std::vector<FakeHandshakeCall> FakeSecurityInterface::HandshakeCalls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<FakeAcquireCall> FakeSecurityInterface::AcquireCalls() const {
  std::lock_guard lock(mutex_);
  return acquires_;
}

int FakeSecurityInterface::FreeCredentialsCount() const {
  std::lock_guard lock(mutex_);
  return freedCredentials_;
}

int FakeSecurityInterface::DeleteContextCount() const {
  std::lock_guard lock(mutex_);
  return deletedContexts_;
}

int FakeSecurityInterface::FreeContextBufferCount() const {
  std::lock_guard lock(mutex_);
  return freedTokens_;
}

int FakeSecurityInterface::LiveCredentials() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(credentials_.size());
}

int FakeSecurityInterface::LiveContexts() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(contexts_.size());
}

int FakeSecurityInterface::LiveTokens() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(tokens_.size());
}

int FakeSecurityInterface::InvalidHandleCalls() const {
  std::lock_guard lock(mutex_);
  return invalidHandles_;
}

int FakeSecurityInterface::EncryptCount() const {
  std::lock_guard lock(mutex_);
  return encrypts_;
}

int FakeSecurityInterface::DecryptCount() const {
  std::lock_guard lock(mutex_);
  return decrypts_;
}

FakeSecurityInterface::ContextState* FakeSecurityInterface::FindContext(const SecHandle* context) {
  if (context == nullptr) return nullptr;
  auto found = contexts_.find({context->dwLower, context->dwUpper});
  return found == contexts_.end() ? nullptr : &found->second;
}

void FakeSecurityInterface::HandOutToken(const Bytes& token, SecBufferDesc* output) {
  SecBuffer* buffer = FindBuffer(output, kSecBufferToken);
  if (token.empty() || buffer == nullptr) return;
  auto memory = std::make_unique<std::uint8_t[]>(token.size());
  std::memcpy(memory.get(), token.data(), token.size());
  buffer->pvBuffer = memory.get();
  buffer->cbBuffer = static_cast<std::uint32_t>(token.size());
  tokens_[memory.get()] = std::move(memory);
}

}  // namespace digital_id::fake
