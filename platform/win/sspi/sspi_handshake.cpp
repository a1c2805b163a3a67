#include "platform/win/sspi/sspi_handshake.h"

#include <algorithm>
#include <cstring>

namespace digital_id::sspi {

namespace {

// The output list of one handshake call: one token buffer that the package fills with memory
// it allocated. The token is freed when the list goes.
class OutputToken {
 public:
  explicit OutputToken(SspiTable& table) : table_(table) {
    buffer_.BufferType = kSecBufferToken;
    list_.cBuffers = 1;
    list_.pBuffers = &buffer_;
  }
  OutputToken(const OutputToken&) = delete;
  OutputToken& operator=(const OutputToken&) = delete;
  ~OutputToken() { Free(); }

  SecBufferDesc* List() { return &list_; }
  bool HasBytes() const { return buffer_.cbBuffer != 0 && buffer_.pvBuffer != nullptr; }
  const std::uint8_t* Bytes() const { return static_cast<const std::uint8_t*>(buffer_.pvBuffer); }
  std::size_t Size() const { return buffer_.cbBuffer; }

  // Gives the token back to the package and clears the buffer.
  void Free() {
    if (buffer_.pvBuffer != nullptr) {
      table_.FreeContextBuffer(buffer_.pvBuffer);
    }
    buffer_.pvBuffer = nullptr;
    buffer_.cbBuffer = 0;
  }

 private:
  SspiTable& table_;
  SecBuffer buffer_;
  SecBufferDesc list_;
};

// Sends the token, if the package gave one, and frees it. A failed send deletes the context;
// false then.
bool SendToken(SspiChannel& channel, OutputToken& token) {
  const bool sent = !token.HasBytes() || channel.SendAll(token.Bytes(), token.Size());
  token.Free();
  if (!sent) {
    channel.DeleteContext();
  }
  return sent;
}

// Statuses with which the loop goes on.
bool KeepsLooping(SecStatus status) {
  return status == kSecIContinueNeeded || status == kSecEIncompleteMessage ||
         status == kSecIIncompleteCredentials;
}

// Whether the token of a call goes to the server: on progress, and on a failure for which the
// package prepared an alert.
bool TokenGoesOut(SecStatus status, std::uint32_t attributes) {
  if (status == kSecEOk || status == kSecIContinueNeeded) {
    return true;
  }
  return IsSecFailure(status) && status != kSecEIncompleteMessage &&
         (attributes & kIscRetExtendedError) != 0;
}

// Carries tokens after the first flight until the context is complete or the handshake fails.
SecStatus HandshakeLoop(SspiChannel& channel, const std::u16string& targetName) {
  Bytes buffer(kHandshakeBufferSize);
  std::size_t count = 0;
  SecStatus status = kSecIContinueNeeded;
  bool mustRead = true;
  bool askedForCredentials = false;

  while (KeepsLooping(status)) {
    if (mustRead) {
      // A full buffer leaves no room for the rest of the flight: the handshake cannot go on.
      const std::size_t room = buffer.size() - count;
      const int received = room == 0
                               ? 0
                               : channel.sockets.Receive(channel.socket, buffer.data() + count,
                                                         static_cast<int>(room));
      if (received == kSocketError || received <= 0 || static_cast<std::size_t>(received) > room) {
        channel.DeleteContext();
        return kSecEInternalError;
      }
      count += static_cast<std::size_t>(received);
    }

    SecBuffer input[2];
    input[0].BufferType = kSecBufferToken;
    input[0].cbBuffer = static_cast<std::uint32_t>(count);
    input[0].pvBuffer = buffer.data();
    SecBufferDesc inputList{kSecBufferVersion, 2, input};
    OutputToken token(channel.table);
    std::uint32_t attributes = 0;
    status = channel.table.InitializeSecurityContext(&channel.credential, &channel.context,
                                                     targetName, kHandshakeRequirements, &inputList,
                                                     nullptr, token.List(), &attributes);

    if (TokenGoesOut(status, attributes) && !SendToken(channel, token)) {
      return kSecEInternalError;
    }
    if (status == kSecEIncompleteMessage) {
      mustRead = true;  // the held bytes stay; the next read appends to them
      continue;
    }
    const bool extraReported = input[1].BufferType == kSecBufferExtra;
    const std::size_t extra = extraReported ? std::min<std::size_t>(input[1].cbBuffer, count) : 0;
    const std::uint8_t* const unconsumed = buffer.data() + (count - extra);
    if (status == kSecEOk) {
      // What arrived behind the server's last handshake record is the start of its first message.
      channel.pending.assign(unconsumed, unconsumed + extra);
      return kSecEOk;
    }
    if (IsSecFailure(status)) {
      channel.DeleteContext();
      return status;
    }
    if (status == kSecIIncompleteCredentials && !extraReported) {
      // The server asked for a client certificate, which is optional for it and never given
      // here; the package consumed nothing and goes on when called again with the same bytes.
      // Should it ask once more without progress, the next turn reads instead.
      mustRead = askedForCredentials;
      askedForCredentials = true;
      continue;
    }
    askedForCredentials = false;
    // Unconsumed bytes move to the start; without them the next turn reads afresh.
    std::memmove(buffer.data(), unconsumed, extra);
    count = extra;
    mustRead = count == 0;
  }

  if (IsSecFailure(status)) {
    channel.DeleteContext();
  }
  return status;
}

}  // namespace

SecStatus RunHandshake(SspiChannel& channel, const std::u16string& targetName) {
  OutputToken token(channel.table);
  std::uint32_t attributes = 0;
  const SecStatus status = channel.table.InitializeSecurityContext(
      &channel.credential, nullptr, targetName, kHandshakeRequirements, nullptr, &channel.context,
      token.List(), &attributes);
  if (status != kSecIContinueNeeded) {
    return status;  // kSecEOk here is a context complete without any exchange
  }
  if (!SendToken(channel, token)) {
    return kSecEInternalError;
  }
  return HandshakeLoop(channel, targetName);
}

}  // namespace digital_id::sspi
