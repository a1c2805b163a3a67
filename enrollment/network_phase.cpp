#include "enrollment/network_phase.h"

#include <memory>
#include <utility>

#include "channel/secure_channel.h"
#include "issuance/issuance.h"
#include "shell/app_state.h"
#include "shell/settings.h"
#include "shell/status_lines.h"
#include "shell/texts.h"

namespace digital_id {

namespace {

// Milliseconds between the acknowledgement and the reading of the verdict.
constexpr std::uint32_t kVerdictPause = 5000;

// The client's acknowledgement of the verdict.
constexpr const char* kClientAcknowledgement = "CLTACK;";

// From connection to verdict over an open channel; the caller shuts the connection down on
// every return.
void RunExchange(SecureChannel& channel, Language language, const std::u16string& secureCode,
                 const std::u16string& identityName) {
  Sockets& sockets = *Services().sockets;
  if (ConnectToServer(channel) == 0) {
    return;
  }
  const std::uint32_t timeout = NumberFromText(ReadSetting(keys::kSendReceiveTimeout));
  sockets.SetReceiveTimeout(channel.serverSocket, timeout);
  sockets.SetSendTimeout(channel.serverSocket, timeout);
  if (PerformHandshake(channel) == 0 || AuthenticateServer(channel, language) == 0) {
    return;
  }
  const std::string request = GenerateRequestMessage(secureCode, identityName);
  if (request.empty()) {
    return;
  }
  ShowStep(texts::kSubmittingRequest, language);
  if (SendSecureMessage(channel, request) == 0) {
    return;
  }
  if (EvaluateServerAcknowledgement(ReceiveSecureMessage(channel)) == 0) {
    return;
  }
  Services().system->Sleep(kVerdictPause);
  const std::u16string verdict = ReceiveSecureMessage(channel);
  if (EvaluateIssuanceVerdict(verdict) == 1) {
    InstallIssuedCertificate(verdict);
  }
  SendSecureMessage(channel, kClientAcknowledgement);
}

}  // namespace

void RunNetworkPhase(Language language, const std::u16string& secureCode,
                     const std::u16string& identityName) {
  ShowStep(texts::kConnectingToServer, language);
  std::unique_ptr<TlsSession> session = Services().tls->NewSession();
  if (!session || Services().sockets->Startup(2, 2) != 0) {
    // Without the TLS engine or the sockets library nothing can be shut down either: the
    // controls stay disabled and only the window's own close button remains.
    ShowTexts(texts::kConnectingToServer, texts::kUnableToConnect, language);
    return;
  }
  SecureChannel channel;
  channel.session = std::move(session);
  channel.serverSocket = Services().sockets->CreateTcpSocket();
  try {
    RunExchange(channel, language, secureCode, identityName);
  } catch (...) {
    // Every step reports its own failures; whatever escapes still ends in the shutdown below.
  }
  CloseConnection(channel);
}

}  // namespace digital_id
