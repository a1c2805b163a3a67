#include "issuance_session.h"

#include <poll.h>

#include <exception>
#include <string>

#include "certificate_issuer.h"
#include "issuance_protocol.h"
#include "tls_stream.h"

namespace digital_id::test_server {

namespace {

constexpr auto kHandshakeTimeout = std::chrono::seconds(10);
constexpr auto kRequestTimeout = std::chrono::seconds(10);
// A request split over records must go on arriving; a length field that promises more than the
// client sends is found out after this pause, before the client's own receive time-out.
constexpr auto kContinuationTimeout = std::chrono::seconds(2);
constexpr auto kWriteTimeout = std::chrono::seconds(10);
constexpr auto kClientAckTimeout = std::chrono::seconds(10);

// Printable form of client-supplied text for the log.
std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, 80)) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte >= 0x20 && byte < 0x7F ? c : '?';
  }
  return text.size() > 80 ? out + "..." : out;
}

class Exchange {
 public:
  Exchange(UniqueFd socket, const IssuanceContext& context)
      : context_(context),
        log_(*context.log),
        stream_(context.tls, std::move(socket), *context.stop) {}

  void Run() {
    std::string error;
    if (!stream_.Handshake(Clock::now() + kHandshakeTimeout, error)) {
      log_.Event("handshake-failed");
      log_.Note("TLS handshake failed: " + error);
      return;
    }
    std::string message;
    if (!ReceiveRequest(message)) return Finish();
    const auto request = ParseRequestMessage(message, error);
    if (request) code_ = request->code;
    X509ReqPtr pkcs10 = request ? ParseCertificateRequest(request->encodedRequest, error) : nullptr;
    if (!pkcs10) {
      log_.Note("malformed request (" + error + "), " + std::to_string(message.size()) + " bytes");
      Answer(kRefused, "ack");
      return Finish();
    }
    log_.Event("request " + code_);
    log_.Note("request code " + code_ + ", identity \"" + Printable(request->identity) +
              "\", SHA-256 " + (request->sha256 ? "true" : "false"));
    if (context_.codes->RefusesAtFirstAnswer(code_)) {
      Answer(kRefused, "ack");
      return Finish();
    }
    if (!Answer(kAccepted, "ack")) return Finish();
    SendVerdict(pkcs10.get(), request->identity);
    AwaitClientAck();
    Finish();
  }

 private:
  // Reads records until the length field is satisfied; on a malformed or incomplete request it
  // answers "SRVNACK;" itself and returns false.
  bool ReceiveRequest(std::string& message) {
    auto deadline = Clock::now() + kRequestTimeout;
    for (;;) {
      std::string record;
      const ReadStatus status = stream_.ReadRecord(record, deadline);
      if (status != ReadStatus::Data) {
        if (message.empty()) {
          log_.Note("connection ended before any request");
        } else {
          log_.Note("request shorter than its length field (" + std::to_string(message.size()) +
                    " bytes)");
          Answer(kRefused, "ack");
        }
        return false;
      }
      message += record;
      const Framing framing = CheckFraming(message);
      if (framing == Framing::Complete) return true;
      if (framing == Framing::Malformed) {
        log_.Note("malformed request start \"" + Printable(message) + "\", " +
                  std::to_string(message.size()) + " bytes");
        Answer(kRefused, "ack");
        return false;
      }
      deadline = Clock::now() + kContinuationTimeout;
    }
  }

  // Sends one answer as one record and reports it as "<step> CODE MARKER".
  bool Answer(std::string_view marker, const std::string& step) {
    const bool sent = stream_.WriteRecord(marker, Clock::now() + kWriteTimeout);
    log_.Event(step + " " + code_ + " " + std::string(marker.substr(0, marker.size() - 1)) +
               (sent ? "" : " unsent"));
    return sent;
  }

  void SendVerdict(X509_REQ* pkcs10, const std::string& identity) {
    const CodeDecision decision = context_.codes->Decide(code_);
    std::string verdict;
    std::string marker;
    if (decision == CodeDecision::Issue) {
      std::string error;
      const std::string response = IssueClientCertificate(pkcs10, identity, *context_.pki, error);
      if (response.empty()) log_.Note("issuing failed: " + error);
      verdict = response.empty() ? std::string(kRefused) : std::string(kIssued) + response;
      marker = response.empty() ? "SRVNACK" : "ISSUED";
    } else {
      verdict = std::string(decision == CodeDecision::Deny ? kDenied : kRefused);
      marker = decision == CodeDecision::Deny ? "DENIED" : "SRVNACK";
    }
    // The client reads the first answer with a single receive; a verdict in the same read would
    // be lost, so it follows only after a pause (the client itself waits five seconds).
    pollfd pause{context_.stop->Fd(), POLLIN, 0};
    if (context_.verdictDelay.count() > 0) {
      ::poll(&pause, 1, static_cast<int>(context_.verdictDelay.count()));
    }
    const bool sent =
        !context_.stop->Triggered() && stream_.WriteRecord(verdict, Clock::now() + kWriteTimeout);
    if (decision == CodeDecision::Issue) context_.codes->Settle(code_, marker == "ISSUED" && sent);
    log_.Event("verdict " + code_ + " " + marker + (sent ? "" : " unsent"));
    if (marker == "ISSUED") {
      log_.Note("issued " + std::to_string(verdict.size()) + " bytes to code " + code_);
    }
  }

  void AwaitClientAck() {
    std::string received;
    const auto deadline = Clock::now() + kClientAckTimeout;
    // The client sends "CLTACK;" as one record; a few more reads tolerate a split one.
    for (int i = 0; i < 4 && received.size() < kClientAck.size(); ++i) {
      std::string record;
      if (stream_.ReadRecord(record, deadline) != ReadStatus::Data) break;
      received += record;
    }
    const bool seen = received.find(kClientAck) != std::string::npos;
    log_.Event((seen ? "cltack " : "no-cltack ") + code_);
    if (seen) log_.Note("CLTACK; seen");
  }

  void Finish() {
    stream_.Close();
    log_.Event("closed " + code_);
  }

  const IssuanceContext& context_;
  EventLog& log_;
  TlsStream stream_;
  std::string code_ = "-";
};

}  // namespace

void ServeIssuanceConnection(UniqueFd socket, const IssuanceContext& context) {
  try {
    Exchange(std::move(socket), context).Run();
  } catch (const std::exception& e) {
    context.log->Note(std::string("connection dropped: ") + e.what());
  }
}

}  // namespace digital_id::test_server
