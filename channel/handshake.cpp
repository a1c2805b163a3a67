#include "channel/handshake.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "channel/socket_io.h"
#include "shell/app_state.h"
#include "shell/settings.h"
#include "shell/status_lines.h"
#include "shell/texts.h"

namespace digital_id {

namespace {

// The output list of one handshake call: one token buffer that the package fills with memory
// it allocated. The token is freed when the list goes.
class OutputToken {
 public:
  explicit OutputToken(SecurityInterface& table) : table_(table) {
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
  SecurityInterface& table_;
  SecBuffer buffer_;
  SecBufferDesc list_;
};

// The name the server's certificate must carry, for the current mode.
std::u16string TargetName() {
  return ReadSetting(ModeKey(keys::kCaFeCertNameSha256, keys::kCaFeCertNameSha1));
}

// Sends the token, if the package gave one, and frees it. A failed send deletes the context and
// gives kSecEInternalError; otherwise kSecEOk.
SecStatus SendToken(SecureChannel& channel, OutputToken& token) {
  if (!token.HasBytes()) {
    token.Free();
    return kSecEOk;
  }
  const bool sent = SendAll(channel.serverSocket, token.Bytes(), token.Size());
  token.Free();
  if (!sent) {
    channel.DeleteContext();
    return kSecEInternalError;
  }
  return kSecEOk;
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

}  // namespace

SecStatus HandshakeLoop(SecureChannel& channel, std::vector<std::uint8_t>& extraData) {
  SecurityInterface* table = App().securityTable.load();
  if (table == nullptr) {
    channel.DeleteContext();
    return kSecEInternalError;
  }
  Sockets& sockets = *Services().sockets;
  const std::u16string targetName = TargetName();
  std::vector<std::uint8_t> buffer(kHandshakeBufferSize);
  std::size_t count = 0;
  SecStatus status = kSecIContinueNeeded;
  bool credentialsAsked = false;

  while (KeepsLooping(status)) {
    if (count == 0 || status == kSecEIncompleteMessage) {
      // A full buffer leaves no room for the rest of the flight: the handshake cannot go on.
      const std::size_t room = buffer.size() - count;
      const int received = room == 0 ? 0
                                     : sockets.Receive(channel.serverSocket, buffer.data() + count,
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
    OutputToken token(*table);
    std::uint32_t attributes = 0;
    status = table->InitializeSecurityContext(&channel.credentialHandle, &channel.contextHandle,
                                              targetName, kHandshakeRequirements, &inputList,
                                              nullptr, token.List(), &attributes);

    if (TokenGoesOut(status, attributes) && SendToken(channel, token) != kSecEOk) {
      return kSecEInternalError;
    }
    if (status == kSecEIncompleteMessage) {
      continue;  // the held bytes stay; the next read appends to them
    }
    if (status == kSecIIncompleteCredentials) {
      // The server asked for a client certificate and the credentials hold none. The package
      // consumed nothing: called again with the same bytes, it goes on without a certificate.
      // Reading first would wait for bytes the server sends only after the client's answer.
      // A package that asks a second time would loop for ever: the handshake fails instead.
      if (credentialsAsked) {
        channel.DeleteContext();
        return kSecEInternalError;
      }
      credentialsAsked = true;
      continue;
    }
    const std::size_t extra = input[1].BufferType == kSecBufferExtra
                                  ? std::min<std::size_t>(input[1].cbBuffer, count)
                                  : 0;
    if (status == kSecEOk) {
      extraData.assign(buffer.begin() + static_cast<std::ptrdiff_t>(count - extra),
                       buffer.begin() + static_cast<std::ptrdiff_t>(count));
      return kSecEOk;
    }
    if (IsSecFailure(status)) {
      channel.DeleteContext();
      return status;
    }
    // Unconsumed bytes move to the start; without them the next turn reads afresh.
    std::memmove(buffer.data(), buffer.data() + (count - extra), extra);
    count = extra;
  }

  if (IsSecFailure(status)) {
    channel.DeleteContext();
  }
  return status;
}

SecStatus StartHandshake(SecureChannel& channel, std::vector<std::uint8_t>& extraData) {
  SecurityInterface* table = App().securityTable.load();
  if (table == nullptr) {
    return kSecEInternalError;
  }
  const std::u16string targetName = TargetName();
  OutputToken token(*table);
  std::uint32_t attributes = 0;
  const SecStatus status = table->InitializeSecurityContext(
      &channel.credentialHandle, nullptr, targetName, kHandshakeRequirements, nullptr,
      &channel.contextHandle, token.List(), &attributes);
  if (status != kSecIContinueNeeded) {
    return status;  // kSecEOk here is a context complete without any exchange
  }
  if (SendToken(channel, token) != kSecEOk) {
    return kSecEInternalError;
  }
  return HandshakeLoop(channel, extraData);
}

int PerformHandshake(SecureChannel& channel) {
  SecStatus status = kSecEInternalError;
  Language language = Language::English;
  try {
    std::vector<std::uint8_t> extraData;
    status = StartHandshake(channel, extraData);
    // Whatever arrived behind the server's last handshake record is not used.
    extraData.clear();
    language = ReadLanguage();
    if (status == kSecEOk) {
      return 1;
    }
  } catch (...) {
    // Reported below like any other failure.
  }
  ShowFailureTexts(texts::kCertificateAuthenticationFailed, texts::kBadServerCertificate, language);
  return 0;
}

}  // namespace digital_id
