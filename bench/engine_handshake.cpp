#include "bench/engine_handshake.h"

#include <arpa/inet.h>

#include <array>
#include <vector>

#include "platform/linux/posix_sockets.h"

namespace digital_id::bench {

namespace {

constexpr std::uint32_t kRequirements = kIscReqSequenceDetect | kIscReqReplayDetect |
                                        kIscReqConfidentiality | kIscReqAllocateMemory |
                                        kIscReqExtendedError | kIscReqStream;
constexpr std::uint32_t kSocketTimeoutMs = 10000;

// The socket, credentials and context of one handshake, released on destruction.
class Session {
 public:
  explicit Session(SecurityInterface& table) : table_(table) {}
  ~Session() {
    if (context.IsSet()) table_.DeleteSecurityContext(&context);
    if (credential.IsSet()) table_.FreeCredentialsHandle(&credential);
    if (socket != kInvalidSocket) sockets.Close(socket);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Sends the token the package gave, if any, and hands its memory back.
  bool SendToken(SecBuffer& token) {
    bool sent = true;
    const auto* bytes = static_cast<const std::uint8_t*>(token.pvBuffer);
    for (std::uint32_t done = 0; bytes != nullptr && done < token.cbBuffer && sent;) {
      const int n = sockets.Send(socket, bytes + done, static_cast<int>(token.cbBuffer - done));
      sent = n > 0;
      done += sent ? static_cast<std::uint32_t>(n) : 0;
    }
    if (token.pvBuffer != nullptr) table_.FreeContextBuffer(token.pvBuffer);
    token = SecBuffer{0, kSecBufferToken, nullptr};
    return sent;
  }

  // Appends what one receive yields; false when the socket fails or closes.
  bool ReceiveMore() {
    std::array<std::uint8_t, 16384> chunk{};
    const int n = sockets.Receive(socket, chunk.data(), static_cast<int>(chunk.size()));
    if (n <= 0) return false;
    held.insert(held.end(), chunk.begin(), chunk.begin() + n);
    return true;
  }

  PosixSockets sockets;
  SocketHandle socket = kInvalidSocket;
  SecHandle credential;
  SecHandle context;
  std::vector<std::uint8_t> held;

 private:
  SecurityInterface& table_;
};

}  // namespace

bool EngineHandshake(SecurityInterface& table, std::uint16_t port, const std::u16string& target) {
  Session session(table);
  if (table.AcquireCredentialsHandle(kSpProtTls12, kSchCredAutoCredValidation,
                                     &session.credential) != kSecEOk) {
    return false;
  }
  session.socket = session.sockets.CreateTcpSocket();
  if (session.socket == kInvalidSocket ||
      session.sockets.Connect(session.socket, htonl(INADDR_LOOPBACK), port) != 0 ||
      session.sockets.SetReceiveTimeout(session.socket, kSocketTimeoutMs) != 0) {
    return false;
  }
  SecBuffer token{0, kSecBufferToken, nullptr};
  SecBufferDesc output{kSecBufferVersion, 1, &token};
  std::uint32_t attributes = 0;
  SecStatus status =
      table.InitializeSecurityContext(&session.credential, nullptr, target, kRequirements, nullptr,
                                      &session.context, &output, &attributes);
  if (status != kSecIContinueNeeded || !session.SendToken(token)) return false;
  bool needMore = true;
  while (status == kSecIContinueNeeded || status == kSecEIncompleteMessage) {
    if (needMore && !session.ReceiveMore()) return false;
    std::array<SecBuffer, 2> in{SecBuffer{static_cast<std::uint32_t>(session.held.size()),
                                          kSecBufferToken, session.held.data()},
                                SecBuffer{}};
    SecBufferDesc input{kSecBufferVersion, 2, in.data()};
    status = table.InitializeSecurityContext(&session.credential, &session.context, target,
                                             kRequirements, &input, nullptr, &output, &attributes);
    if (status == kSecEIncompleteMessage) {
      needMore = true;
      continue;
    }
    if (!IsSecFailure(status) && !session.SendToken(token)) return false;
    if (IsSecFailure(status)) {
      session.SendToken(token);  // the alert, if the package made one
      return false;
    }
    // Bytes behind the consumed records start the next step without a receive.
    const std::size_t extra = in[1].BufferType == kSecBufferExtra ? in[1].cbBuffer : 0;
    session.held.erase(session.held.begin(),
                       session.held.end() - static_cast<std::ptrdiff_t>(extra));
    needMore = extra == 0;
  }
  return status == kSecEOk;
}

}  // namespace digital_id::bench
