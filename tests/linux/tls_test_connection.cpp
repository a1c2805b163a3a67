#include "tls_test_connection.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>

#include "platform/linux/tls_record_framing.h"

namespace digital_id::tls_test {

namespace {

constexpr std::uint32_t kRequirements = kIscReqSequenceDetect | kIscReqReplayDetect |
                                        kIscReqConfidentiality | kIscReqAllocateMemory |
                                        kIscReqExtendedError | kIscReqStream;
// Long enough never to end a working exchange, short enough that a hang fails the test.
constexpr std::uint32_t kSocketTimeoutMs = 15000;

}  // namespace

TlsTestConnection::TlsTestConnection(SecurityInterface& engine, std::uint16_t port)
    : engine_(engine) {
  socket_ = sockets_.CreateTcpSocket();
  if (socket_ == kInvalidSocket || sockets_.Connect(socket_, htonl(INADDR_LOOPBACK), port) != 0 ||
      sockets_.SetReceiveTimeout(socket_, kSocketTimeoutMs) != 0 ||
      sockets_.SetSendTimeout(socket_, kSocketTimeoutMs) != 0) {
    return;
  }
  connected_ = engine_.AcquireCredentialsHandle(kSpProtTls12, kSchCredAutoCredValidation,
                                                &credential_) == kSecEOk;
}

TlsTestConnection::~TlsTestConnection() {
  if (context_.IsSet()) {
    engine_.DeleteSecurityContext(&context_);
  }
  if (credential_.IsSet()) {
    engine_.FreeCredentialsHandle(&credential_);
  }
  if (socket_ != kInvalidSocket) {
    sockets_.Close(socket_);
  }
}

bool TlsTestConnection::SendAll(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const int sent = sockets_.Send(socket_, data, static_cast<int>(size));
    if (sent <= 0) {
      return false;
    }
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool TlsTestConnection::SendToken(SecBuffer& token, HandshakeResult& result) {
  const auto* bytes = static_cast<const std::uint8_t*>(token.pvBuffer);
  result.lastToken.assign(bytes, bytes + token.cbBuffer);
  const bool sent = SendAll(bytes, token.cbBuffer);
  engine_.FreeContextBuffer(token.pvBuffer);
  token.pvBuffer = nullptr;
  return sent;
}

bool TlsTestConnection::ReceiveMore() {
  std::array<std::uint8_t, 16384> chunk{};
  const int received = sockets_.Receive(socket_, chunk.data(), static_cast<int>(chunk.size()));
  if (received <= 0) {
    return false;
  }
  held_.insert(held_.end(), chunk.begin(), chunk.begin() + received);
  return true;
}

HandshakeResult TlsTestConnection::Handshake(const std::u16string& targetName, bool byteByByte) {
  HandshakeResult result;
  SecBuffer outToken{0, kSecBufferToken, nullptr};
  SecBufferDesc output{kSecBufferVersion, 1, &outToken};
  result.status =
      engine_.InitializeSecurityContext(&credential_, nullptr, targetName, kRequirements, nullptr,
                                        &context_, &output, &result.lastAttributes);
  if (result.status != kSecIContinueNeeded || !SendToken(outToken, result)) {
    return result;
  }
  // The bytes the engine is shown: all of held_, or in byte-by-byte mode a growing prefix.
  std::size_t shown = 0;
  SecStatus status = kSecIContinueNeeded;
  while (status == kSecIContinueNeeded || status == kSecEIncompleteMessage) {
    const bool needMore = status == kSecEIncompleteMessage || shown == 0;
    if (needMore) {
      if (held_.size() <= shown && !ReceiveMore()) {
        result.status = kSecEInternalError;
        return result;
      }
      shown = byteByByte ? shown + 1 : held_.size();
    }
    const Bytes before(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(shown));
    std::array<SecBuffer, 2> in{
        SecBuffer{static_cast<std::uint32_t>(shown), kSecBufferToken, held_.data()}, SecBuffer{}};
    SecBufferDesc input{kSecBufferVersion, 2, in.data()};
    outToken = SecBuffer{0, kSecBufferToken, nullptr};
    status = engine_.InitializeSecurityContext(&credential_, &context_, targetName, kRequirements,
                                               &input, nullptr, &output, &result.lastAttributes);
    result.status = status;
    if (status == kSecEIncompleteMessage) {
      ++result.incompleteAnswers;
      result.untouchedWhenIncomplete = result.untouchedWhenIncomplete &&
                                       std::equal(before.begin(), before.end(), held_.begin()) &&
                                       in[0].cbBuffer == shown &&
                                       in[1].BufferType == kSecBufferEmpty;
      continue;
    }
    const bool sendToken = status == kSecEOk || status == kSecIContinueNeeded ||
                           (IsSecFailure(status) && (result.lastAttributes & kIscRetExtendedError));
    if (sendToken && outToken.cbBuffer > 0 && outToken.pvBuffer != nullptr &&
        !SendToken(outToken, result)) {
      result.status = kSecEInternalError;
      return result;
    }
    // Keep the unconsumed bytes (shown or not yet shown) for the next step or the records.
    const std::size_t extra = in[1].BufferType == kSecBufferExtra ? in[1].cbBuffer : 0;
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(shown - extra));
    shown = extra;
    if (IsSecFailure(status)) {
      context_ = SecHandle{};
      return result;
    }
  }
  return result;
}

Bytes TlsTestConnection::ReceiveRecords(std::size_t count) {
  while (WholeRecordsAtStart(held_).count < count) {
    if (!ReceiveMore()) {
      return {};
    }
  }
  Bytes records;
  records.swap(held_);
  return records;
}

bool TlsTestConnection::SendMessage(const std::string& message) {
  StreamSizes sizes;
  if (engine_.QueryStreamSizes(&context_, &sizes) != kSecEOk) {
    return false;
  }
  Bytes area(sizes.cbHeader + message.size() + sizes.cbTrailer);
  std::copy(message.begin(), message.end(), area.begin() + sizes.cbHeader);
  std::array<SecBuffer, 3> buffers{SecBuffer{sizes.cbHeader, kSecBufferStreamHeader, area.data()},
                                   SecBuffer{static_cast<std::uint32_t>(message.size()),
                                             kSecBufferData, area.data() + sizes.cbHeader},
                                   SecBuffer{sizes.cbTrailer, kSecBufferStreamTrailer,
                                             area.data() + sizes.cbHeader + message.size()}};
  SecBufferDesc list{kSecBufferVersion, 3, buffers.data()};
  if (engine_.EncryptMessage(&context_, 0, &list, 0) != kSecEOk) {
    return false;
  }
  return SendAll(area.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
}

}  // namespace digital_id::tls_test
