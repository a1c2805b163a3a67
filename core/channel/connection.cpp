#include <cstdint>
#include <optional>
#include <string>

#include "core/channel/secure_channel.h"
#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

namespace {

// A connection wait as whole seconds and the microseconds below one million, as socket waits
// take it.
struct ConnectionWait {
  long seconds = 0;
  long microseconds = 0;
};

// Splits a wait in milliseconds; computed in 64 bits, so that no value overflows.
ConnectionWait SplitWait(std::uint32_t milliseconds) {
  const std::uint64_t total = static_cast<std::uint64_t>(milliseconds) * 1000;
  return {static_cast<long>(total / 1000000), static_cast<long>(total % 1000000)};
}

// Connects the channel's socket to CAAddress at the port of the current mode within
// ConnectionTimeout; true when the connection stands.
bool Connect(const SecureChannel& channel) {
  const std::uint32_t portNumber =
      NumberFromText(ReadSetting(ModeKey(keys::kCaTcpPortSha256, keys::kCaTcpPortSha1)));
  const std::string address = Narrow(ReadSetting(keys::kCaAddress));
  const SocketHandle socket = channel.serverSocket;
  if (socket == kInvalidSocket || address.empty()) {
    return false;
  }
  Sockets& sockets = *Services().sockets;
  const std::optional<std::uint32_t> resolved = sockets.ResolveIpv4(address);
  if (!resolved) {
    return false;
  }
  const auto port = static_cast<std::uint16_t>(portNumber & 0xFFFF);
  const std::uint32_t timeout = NumberFromText(ReadSetting(keys::kConnectionTimeout));

  // The connection starts without blocking, so that the wait below bounds it; the socket is
  // blocking again for every later send and receive.
  sockets.SetNonBlocking(socket, true);
  sockets.Connect(socket, *resolved, port);
  sockets.SetNonBlocking(socket, false);

  const ConnectionWait wait = SplitWait(timeout);
  if (sockets.WaitForConnection(socket, wait.seconds, wait.microseconds) <= 0) {
    return false;
  }
  // A wait also ends when the attempt failed (refused, unreachable); the pending error tells.
  return sockets.PendingError(socket) == 0;
}

}  // namespace

StepEnd ConnectToServer(SecureChannel& channel) {
  Language language = Language::English;
  try {
    language = ReadLanguage();
    if (Connect(channel)) {
      ShowTexts(texts::kConnectingToServer, texts::kSuccessfullyConnected, language);
      return std::nullopt;
    }
  } catch (...) {
    // Reported below like any other failure.
  }
  return FailedStep(RunResult::ConnectionFailed, texts::kConnectingToServer,
                    texts::kUnableToConnect, language);
}

}  // namespace digital_id
