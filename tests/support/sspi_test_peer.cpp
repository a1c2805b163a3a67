#include "tests/support/sspi_test_peer.h"

#include <algorithm>
#include <cstring>

namespace digital_id::sspi::testing {

namespace {

// Second words of the handles, so that a credential is never taken for a context.
constexpr std::uintptr_t kCredentialTag = 0xC4ED;
constexpr std::uintptr_t kContextTag = 0xC07E;
// SEC_E_BUFFER_TOO_SMALL.
constexpr SecStatus kSecEBufferTooSmall = static_cast<SecStatus>(0x80090321);

Bytes Record(std::uint8_t type, const Bytes& body) {
  Bytes record{type, 0x03, 0x03, static_cast<std::uint8_t>((body.size() >> 8) & 0xFF),
               static_cast<std::uint8_t>(body.size() & 0xFF)};
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

std::size_t BodyLength(const std::uint8_t* record) {
  return (static_cast<std::size_t>(record[3]) << 8) | record[4];
}

// The trailer length of an application-data body (payload and trailer); 0 when malformed.
std::size_t TrailerLength(const std::uint8_t* body, std::size_t size) {
  const std::size_t length = size == 0 ? 0 : body[size - 1];
  if (length == 0 || length > size) return 0;
  for (std::size_t i = size - length; i < size; ++i) {
    if (body[i] != length) return 0;
  }
  return length;
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

Bytes MakeRecord(const Bytes& message) {
  Bytes body;
  for (std::uint8_t b : message) body.push_back(b ^ kCipherMask);
  body.insert(body.end(), kTrailerSize, static_cast<std::uint8_t>(kTrailerSize));
  return Record(kApplicationDataType, body);
}

Bytes MakeRecord(std::string_view message) {
  return MakeRecord(Bytes(message.begin(), message.end()));
}

Bytes MakeHandshakeRecord(std::string_view body) {
  return Record(kHandshakeType, Bytes(body.begin(), body.end()));
}

Bytes MakeAlertRecord(std::uint8_t level, std::uint8_t description) {
  return Record(kAlertType, Bytes{level, description});
}

Bytes Joined(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<WireRecord> ParseRecords(const Bytes& wire) {
  std::vector<WireRecord> records;
  std::size_t at = 0;
  while (wire.size() - at >= kHeaderSize &&
         wire.size() - at - kHeaderSize >= BodyLength(&wire[at])) {
    const std::size_t length = BodyLength(&wire[at]);
    WireRecord record;
    record.type = wire[at];
    record.body.assign(wire.begin() + static_cast<std::ptrdiff_t>(at + kHeaderSize),
                       wire.begin() + static_cast<std::ptrdiff_t>(at + kHeaderSize + length));
    if (record.type == kApplicationDataType) {
      const std::size_t trailer = TrailerLength(record.body.data(), record.body.size());
      record.intact = trailer != 0;
      record.body.resize(record.body.size() - trailer);
      for (std::uint8_t& b : record.body) b ^= kCipherMask;
    }
    records.push_back(std::move(record));
    at += kHeaderSize + length;
  }
  return records;
}

std::vector<std::string> ClientMessages(const Bytes& wire) {
  std::vector<std::string> messages;
  for (const WireRecord& record : ParseRecords(wire)) {
    if (record.type == kApplicationDataType && record.intact) {
      messages.emplace_back(record.body.begin(), record.body.end());
    }
  }
  return messages;
}

std::vector<HandshakeStep> DefaultHandshake() {
  return {{kSecIContinueNeeded, MakeHandshakeRecord("client hello"), 0},
          {kSecIContinueNeeded, MakeHandshakeRecord("client key exchange, finished"), 1},
          {kSecEOk, {}, 1}};
}

std::vector<Bytes> ServerHandshakeFlights() {
  return {MakeHandshakeRecord("server hello, certificate, hello done"),
          MakeHandshakeRecord("server finished")};
}

HandshakeStep RejectedCertificateStep() {
  return {kSecEUntrustedRoot, MakeAlertRecord(2, 48), 1, true};
}

void QueueServerHandshake(fake::FakeSockets& sockets) {
  for (Bytes& flight : ServerHandshakeFlights()) sockets.QueueReceive(std::move(flight));
}

SecStatus ScriptedTable::AcquireCredentialsHandle(std::uint32_t enabledProtocols,
                                                  std::uint32_t flags, SecHandle* credential) {
  acquires.emplace_back(enabledProtocols, flags);
  if (IsSecFailure(acquireStatus)) return acquireStatus;
  *credential = SecHandle{nextHandle_++, kCredentialTag};
  credentials_.insert(credential->dwLower);
  return kSecEOk;
}

SecStatus ScriptedTable::Answer(HandshakeCall call, const HandshakeStep& step,
                                std::uint32_t requirements, SecBufferDesc* output,
                                std::uint32_t* attributes) {
  SecBuffer* buffer = FindBuffer(output, kSecBufferToken);
  if (!step.token.empty() && buffer != nullptr) {
    auto memory = std::make_unique<std::uint8_t[]>(step.token.size());
    std::memcpy(memory.get(), step.token.data(), step.token.size());
    buffer->pvBuffer = memory.get();
    buffer->cbBuffer = static_cast<std::uint32_t>(step.token.size());
    tokens_[memory.get()] = std::move(memory);
  }
  *attributes =
      (requirements & ~kIscRetExtendedError) | (step.extendedError ? kIscRetExtendedError : 0);
  call.status = step.status;
  calls.push_back(std::move(call));
  return step.status;
}

SecStatus ScriptedTable::InitializeSecurityContext(SecHandle* credential, SecHandle* context,
                                                   const std::u16string& targetName,
                                                   std::uint32_t requirements, SecBufferDesc* input,
                                                   SecHandle* newContext, SecBufferDesc* output,
                                                   std::uint32_t* attributes) {
  HandshakeCall call{context == nullptr, targetName, requirements, {}, 0};
  const HandshakeStep refuse{kSecEInvalidToken, {}, 0};
  auto fail = [&](SecStatus status) {
    call.status = status;
    calls.push_back(call);
    return status;
  };
  if (credential->dwUpper != kCredentialTag || credentials_.count(credential->dwLower) == 0) {
    return fail(kSecEInvalidHandle);
  }
  if (context == nullptr) {
    const HandshakeStep& step = handshake.empty() ? refuse : handshake.front();
    if (!IsSecFailure(step.status)) {
      *newContext = SecHandle{nextHandle_++, kContextTag};
      contexts_[newContext->dwLower] = ContextState{1, step.status == kSecEOk};
    }
    return Answer(std::move(call), step, requirements, output, attributes);
  }
  ContextState* state = FindContext(context);
  if (state == nullptr) return fail(kSecEInvalidHandle);
  SecBuffer& held = input->pBuffers[0];
  const auto* data = static_cast<const std::uint8_t*>(held.pvBuffer);
  const std::size_t size = held.cbBuffer;
  call.input.assign(data, data + size);
  if (state->established) return fail(kSecEInternalError);

  const HandshakeStep& step =
      state->nextStep < handshake.size() ? handshake[state->nextStep] : refuse;
  std::size_t consumed = 0;
  for (std::size_t i = 0; i < step.records; ++i) {
    if (size - consumed < kHeaderSize ||
        size - consumed - kHeaderSize < BodyLength(data + consumed)) {
      return fail(kSecEIncompleteMessage);
    }
    if (data[consumed] != kHandshakeType) return fail(kSecEIllegalMessage);
    consumed += kHeaderSize + BodyLength(data + consumed);
  }
  ++state->nextStep;
  if (step.status == kSecEOk) state->established = true;
  if (consumed < size && !step.leavesInput) {
    // As Schannel: only the count tells where the extra bytes are.
    input->pBuffers[1] = {static_cast<std::uint32_t>(size - consumed), kSecBufferExtra, nullptr};
  }
  return Answer(std::move(call), step, requirements, output, attributes);
}

SecStatus ScriptedTable::FreeContextBuffer(void* buffer) {
  if (tokens_.erase(buffer) == 0) {
    ++invalidHandles;
    return kSecEInvalidHandle;
  }
  ++freedTokens;
  return kSecEOk;
}

SecStatus ScriptedTable::DeleteSecurityContext(SecHandle* context) {
  if (FindContext(context) == nullptr) {
    ++invalidHandles;
    return kSecEInvalidHandle;
  }
  contexts_.erase(context->dwLower);
  ++deletedContexts;
  return kSecEOk;
}

SecStatus ScriptedTable::FreeCredentialsHandle(SecHandle* credential) {
  if (credential->dwUpper != kCredentialTag || credentials_.erase(credential->dwLower) == 0) {
    ++invalidHandles;
    return kSecEInvalidHandle;
  }
  ++freedCredentials;
  return kSecEOk;
}

SecStatus ScriptedTable::QueryRemoteCertificate(SecHandle* context, CertificatePtr& certificate) {
  certificate.reset();
  const ContextState* state = FindContext(context);
  if (state == nullptr || !state->established) return kSecEInvalidHandle;
  if (!remoteCertificate) return kSecECertUnknown;
  certificate = std::make_unique<fake::FakeCertificate>(*remoteCertificate);
  return kSecEOk;
}

SecStatus ScriptedTable::QueryStreamSizes(SecHandle* context, StreamSizes* sizes) {
  const ContextState* state = FindContext(context);
  if (state == nullptr || !state->established) return kSecEInvalidHandle;
  *sizes = StreamSizes{kHeaderSize, kTrailerSize, 16384, 4, 16};
  return kSecEOk;
}

SecStatus ScriptedTable::EncryptMessage(SecHandle* context, std::uint32_t, SecBufferDesc* message,
                                        std::uint32_t) {
  ++encrypts;
  const ContextState* state = FindContext(context);
  if (state == nullptr || !state->established) return kSecEInvalidHandle;
  if (IsSecFailure(encryptStatus)) return encryptStatus;
  SecBuffer* header = FindBuffer(message, kSecBufferStreamHeader);
  SecBuffer* data = FindBuffer(message, kSecBufferData);
  SecBuffer* trailer = FindBuffer(message, kSecBufferStreamTrailer);
  const std::uint32_t used = std::clamp<std::uint32_t>(trailerUsed, 1, kTrailerSize);
  if (header == nullptr || data == nullptr || trailer == nullptr ||
      header->cbBuffer < kHeaderSize || trailer->cbBuffer < used || data->cbBuffer > 16384) {
    return kSecEBufferTooSmall;
  }
  const Bytes record = Record(kApplicationDataType, Bytes(data->cbBuffer + used, 0));
  std::memcpy(header->pvBuffer, record.data(), kHeaderSize);
  header->cbBuffer = kHeaderSize;
  auto* payload = static_cast<std::uint8_t*>(data->pvBuffer);
  for (std::uint32_t i = 0; i < data->cbBuffer; ++i) payload[i] ^= kCipherMask;
  std::memset(trailer->pvBuffer, static_cast<int>(used), used);
  trailer->cbBuffer = used;
  return kSecEOk;
}

SecStatus ScriptedTable::DecryptMessage(SecHandle* context, SecBufferDesc* message, std::uint32_t,
                                        std::uint32_t*) {
  ++decrypts;
  const ContextState* state = FindContext(context);
  if (state == nullptr || !state->established) return kSecEInvalidHandle;
  SecBuffer* buffers = message->pBuffers;
  auto* bytes = static_cast<std::uint8_t*>(buffers[0].pvBuffer);
  const std::size_t size = buffers[0].cbBuffer;
  // An incomplete record leaves every buffer as it was.
  if (size < kHeaderSize || size - kHeaderSize < BodyLength(bytes)) return kSecEIncompleteMessage;
  const std::size_t bodyLength = BodyLength(bytes);
  const std::size_t recordSize = kHeaderSize + bodyLength;
  std::uint8_t* body = bytes + kHeaderSize;
  SecStatus status = kSecEOk;
  if (bytes[0] == kAlertType) {
    // The server's alert ends the context's use: no data.
    buffers[0] = {static_cast<std::uint32_t>(kHeaderSize), kSecBufferStreamHeader, bytes};
    buffers[1] = {static_cast<std::uint32_t>(bodyLength), kSecBufferStreamTrailer, body};
    buffers[2] = {};
    status = kSecIContextExpired;
  } else if (bytes[0] == kApplicationDataType) {
    const std::size_t trailer = TrailerLength(body, bodyLength);
    if (trailer == 0) return kSecEDecryptFailure;
    const std::size_t payloadLength = bodyLength - trailer;
    for (std::size_t i = 0; i < payloadLength; ++i) body[i] ^= kCipherMask;
    buffers[0] = {static_cast<std::uint32_t>(kHeaderSize), kSecBufferStreamHeader, bytes};
    buffers[1] = {static_cast<std::uint32_t>(payloadLength), kSecBufferData, body};
    buffers[2] = {static_cast<std::uint32_t>(trailer), kSecBufferStreamTrailer,
                  body + payloadLength};
  } else {
    return kSecEIllegalMessage;
  }
  buffers[3] = size > recordSize ? SecBuffer{static_cast<std::uint32_t>(size - recordSize),
                                             kSecBufferExtra, bytes + recordSize}
                                 : SecBuffer{};
  return status;
}

ScriptedTable::ContextState* ScriptedTable::FindContext(const SecHandle* context) {
  if (context == nullptr || context->dwUpper != kContextTag) return nullptr;
  const auto found = contexts_.find(context->dwLower);
  return found == contexts_.end() ? nullptr : &found->second;
}

}  // namespace digital_id::sspi::testing
