#include "core/enrollment/network_phase.h"

#include <memory>
#include <utility>

#include "core/channel/secure_channel.h"
#include "core/issuance/issuance.h"
#include "core/issuance/protocol.h"
#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

namespace {

// Milliseconds between the acknowledgement and the reading of the verdict.
constexpr std::uint32_t kVerdictPause = 5000;

// From connection to verdict over an open channel; the caller shuts the connection down on
// every return.
RunOutcome RunExchange(SecureChannel& channel, Language language, std::u16string_view secureCode,
                       const std::u16string& identityName) {
  Sockets& sockets = *Services().sockets;
  if (StepEnd end = ConnectToServer(channel); EndsRun(end)) {
    return *end;
  }
  const std::uint32_t timeout = NumberFromText(ReadSetting(keys::kSendReceiveTimeout));
  sockets.SetReceiveTimeout(channel.serverSocket, timeout);
  sockets.SetSendTimeout(channel.serverSocket, timeout);
  if (StepEnd end = PerformHandshake(channel); EndsRun(end)) {
    return *end;
  }
  if (StepEnd end = AuthenticateServer(channel, language); EndsRun(end)) {
    return *end;
  }
  SecretText request;  // holds the secure code
  if (StepEnd end = GenerateRequestMessage(secureCode, identityName, request); EndsRun(end)) {
    return *end;
  }
  ShowStep(texts::kSubmittingRequest, language);
  if (StepEnd end = SendSecureMessage(channel, request); EndsRun(end)) {
    return *end;
  }
  if (StepEnd end = EvaluateServerAcknowledgement(ReceiveSecureMessage(channel)); EndsRun(end)) {
    return *end;  // no "CLTACK;" after a refused or unreadable acknowledgement
  }
  Services().system->Sleep(kVerdictPause);
  const std::u16string verdict = ReceiveSecureMessage(channel);
  StepEnd end = EvaluateIssuanceVerdict(verdict);
  const RunOutcome outcome = EndsRun(end) ? *end : InstallIssuedCertificate(verdict);
  // The verdict is acknowledged whatever it was; a failed acknowledgement changes nothing of an
  // installation that is done.
  SendSecureMessage(channel, kClientAcknowledgement);
  return outcome;
}

}  // namespace

RunOutcome RunNetworkPhase(Language language, std::u16string_view secureCode,
                           const std::u16string& identityName) {
  ShowStep(texts::kConnectingToServer, language);
  std::unique_ptr<TlsSession> session = Services().tls->NewSession();
  if (!session || Services().sockets->Startup(2, 2) != 0) {
    // Without the TLS engine or the sockets library nothing can be shut down either: the
    // controls stay disabled and only the window's own close button remains.
    return RunOutcome{RunResult::NetworkUnavailable, texts::kConnectingToServer,
                      texts::kUnableToConnect, language};
  }
  SecureChannel channel;
  channel.session = std::move(session);
  channel.serverSocket = Services().sockets->CreateTcpSocket();
  RunOutcome outcome{RunResult::ExchangeFailed, texts::kConnectionError,
                     texts::kConnectionErrorDetail, language};
  try {
    outcome = RunExchange(channel, language, secureCode, identityName);
  } catch (...) {
    // Every step ends in an outcome of its own; whatever escapes still ends in the shutdown
    // below, reported as a failed exchange.
  }
  CloseConnection(channel);
  return outcome;
}

}  // namespace digital_id
