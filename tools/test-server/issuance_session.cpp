#include "issuance_session.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
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
// A stall lasts until the client goes away, but no longer than this.
constexpr auto kStallBound = std::chrono::seconds(60);
// Copies of the issuing CA that make an "ISSUED;" verdict longer than one record.
constexpr std::size_t kLargeVerdictPadding = 12;
// What the not-TLS fault answers instead of a handshake.
constexpr std::string_view kNotTlsText =
    "HTTP/1.0 400 Bad Request\r\n\r\nThis port speaks no TLS.\r\n";

// Printable form of client-supplied text for the log.
std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, 80)) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte >= 0x20 && byte < 0x7F ? c : '?';
  }
  return text.size() > 80 ? out + "..." : out;
}

// The verdict prepared for a request, before it is sent.
struct Verdict {
  CodeDecision decision = CodeDecision::Deny;
  std::string text;    // the whole message
  std::string marker;  // ISSUED, DENIED or SRVNACK, for the log
};

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
    if (context_.logsClientCertificate) {
      log_.Event(stream_.PeerCertificate() != nullptr ? "client-certificate sent"
                                                      : "client-certificate none");
    }
    if (Faulty(Fault::Close, FaultStep::Handshake)) return Drop("handshake");
    std::string message;
    if (!ReceiveRequest(message)) return Finish();
    const auto request = ParseRequestMessage(message, error);
    if (request) code_ = request->code;
    X509ReqPtr pkcs10 = request ? ParseCertificateRequest(request->encodedRequest, error) : nullptr;
    if (!pkcs10) {
      log_.Note("malformed request (" + error + "), " + std::to_string(message.size()) + " bytes");
      Answer(kRefused, "ack", FaultStep::Ack);
      return Finish();
    }
    log_.Event("request " + code_);
    log_.Note("request code " + code_ + ", identity \"" + Printable(request->identity) +
              "\", SHA-256 " + (request->sha256 ? "true" : "false"));
    if (Faulty(Fault::Close, FaultStep::Request)) return Drop("request");
    if (context_.codes->RefusesAtFirstAnswer(code_)) {
      Answer(kRefused, "ack", FaultStep::Ack);
      return Finish();
    }
    if (Faulty(Fault::Stall, FaultStep::Ack)) return Stall("ack");
    if (!SendAnswers(pkcs10.get(), request->identity)) return Finish();
    if (Faulty(Fault::NoClientAck)) {
      log_.Event("cltack-skipped " + code_);
      return Finish();
    }
    if (Faulty(Fault::Stall, FaultStep::ClientAck)) return Stall("cltack");
    AwaitClientAck();
    Finish();
  }

 private:
  bool Faulty(Fault fault, FaultStep step = FaultStep::Every) const {
    return context_.faults != nullptr && context_.faults->Has(fault, step);
  }

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
          Answer(kRefused, "ack", FaultStep::Ack);
        }
        return false;
      }
      message += record;
      const Framing framing = CheckFraming(message);
      if (framing == Framing::Complete) return true;
      if (framing == Framing::Malformed) {
        log_.Note("malformed request start \"" + Printable(message) + "\", " +
                  std::to_string(message.size()) + " bytes");
        Answer(kRefused, "ack", FaultStep::Ack);
        return false;
      }
      deadline = Clock::now() + kContinuationTimeout;
    }
  }

  // The wire bytes of one answer: one record, or two halves when records are to be split.
  std::string Sealed(std::string_view message, FaultStep step) {
    const bool split = Faulty(Fault::SplitRecords, step);
    return stream_.Seal(message, split ? (message.size() + 1) / 2 : message.size());
  }

  Pacing PacingOf(FaultStep step) const {
    return Faulty(Fault::SplitSegments, step) ? Pacing::Segments : Pacing::AtOnce;
  }

  // Sends one answer and reports it as "<step> CODE MARKER".
  bool Answer(std::string_view marker, const std::string& step, FaultStep faultStep) {
    const std::string wire = Sealed(marker, faultStep);
    const bool sent =
        !wire.empty() && stream_.SendWire(wire, PacingOf(faultStep), Clock::now() + kWriteTimeout);
    log_.Event(step + " " + code_ + " " + std::string(marker.substr(0, marker.size() - 1)) +
               (sent ? "" : " unsent"));
    return sent;
  }

  // Decides (and for a one-time code, issues) the verdict; the code stays reserved until Settle.
  Verdict PrepareVerdict(X509_REQ* pkcs10, const std::string& identity) {
    Verdict verdict;
    verdict.decision = context_.codes->Decide(code_);
    if (verdict.decision == CodeDecision::Issue) {
      std::string error;
      const std::size_t padding = Faulty(Fault::LargeVerdict) ? kLargeVerdictPadding : 0;
      const std::string response = IssueClientCertificate(pkcs10, identity, *context_.pki,
                                                          context_.clientValidDays, error, padding);
      if (response.empty()) log_.Note("issuing failed: " + error);
      verdict.text = response.empty() ? std::string(kRefused) : std::string(kIssued) + response;
      verdict.marker = response.empty() ? "SRVNACK" : "ISSUED";
    } else {
      verdict.text = std::string(verdict.decision == CodeDecision::Deny ? kDenied : kRefused);
      verdict.marker = verdict.decision == CodeDecision::Deny ? "DENIED" : "SRVNACK";
    }
    return verdict;
  }

  // Ends the verdict: logs it and frees or uses up the one-time code.
  void Settle(const Verdict& verdict, bool sent) {
    if (verdict.decision == CodeDecision::Issue) {
      context_.codes->Settle(code_, verdict.marker == "ISSUED" && sent);
    }
    log_.Event("verdict " + code_ + " " + verdict.marker + (sent ? "" : " unsent"));
    if (sent && verdict.marker == "ISSUED") {
      log_.Note("issued " + std::to_string(verdict.text.size()) + " bytes to code " + code_);
    }
  }

  // "SRVACK;" and then the verdict, as the faults shape them; false when the exchange ends
  // there (the connection is then to be closed).
  bool SendAnswers(X509_REQ* pkcs10, const std::string& identity) {
    const Verdict verdict = PrepareVerdict(pkcs10, identity);
    if (Faulty(Fault::Coalesce)) {
      // Both answers in one send: the verdict right behind the acknowledgement.
      // Sealed in protocol order: each record carries the next sequence number.
      std::string wire = Sealed(kAccepted, FaultStep::Ack);
      wire += Sealed(verdict.text, FaultStep::Verdict);
      const bool sent = stream_.SendWire(wire, Pacing::AtOnce, Clock::now() + kWriteTimeout);
      log_.Event("ack " + code_ + " SRVACK" + (sent ? "" : " unsent"));
      Settle(verdict, sent);
      return sent;
    }
    if (!Answer(kAccepted, "ack", FaultStep::Ack)) {
      Settle(verdict, false);
      return false;
    }
    if (Faulty(Fault::Close, FaultStep::Ack)) {
      Settle(verdict, false);
      Drop("ack");
      return false;
    }
    if (Faulty(Fault::Stall, FaultStep::Verdict)) {
      Settle(verdict, false);
      Stall("verdict");
      return false;
    }
    // The acknowledgement and the verdict go in separate reads of the client: the verdict
    // follows after a pause (the client itself waits five seconds).
    pollfd pause{context_.stop->Fd(), POLLIN, 0};
    if (context_.verdictDelay.count() > 0) {
      ::poll(&pause, 1, static_cast<int>(context_.verdictDelay.count()));
    }
    if (Faulty(Fault::Close, FaultStep::Verdict)) {
      Settle(verdict, false);
      Drop("verdict");
      return false;
    }
    const std::string wire = Sealed(verdict.text, FaultStep::Verdict);
    const bool sent =
        !context_.stop->Triggered() && !wire.empty() &&
        stream_.SendWire(wire, PacingOf(FaultStep::Verdict), Clock::now() + kWriteTimeout);
    Settle(verdict, sent);
    return sent;
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

  // The stall fault: nothing more is sent until the client closes the connection.
  void Stall(const std::string& step) {
    log_.Event("stalled " + code_ + " " + step);
    stream_.HoldUntilPeerCloses(Clock::now() + kStallBound);
    Finish();
  }

  // The close fault: the connection ends at once, with no closure alert.
  void Drop(const std::string& step) {
    log_.Event("dropped " + code_ + " " + step);
    log_.Event("closed " + code_);
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

// The not-TLS fault: the client's first bytes are read and answered with plain text.
void AnswerPlainText(UniqueFd socket, const IssuanceContext& context) {
  const auto deadline = Clock::now() + kHandshakeTimeout;
  char buffer[4096];
  if (WaitForSocket(socket.Get(), POLLIN, *context.stop, deadline) == WaitResult::Ready) {
    const ssize_t ignored = ::recv(socket.Get(), buffer, sizeof(buffer), 0);
    static_cast<void>(ignored);
  }
  const bool sent = SendAll(socket.Get(), kNotTlsText, *context.stop, deadline);
  context.log->Event(std::string("not-tls") + (sent ? "" : " unsent"));
  ::shutdown(socket.Get(), SHUT_WR);
}

}  // namespace

void ServeIssuanceConnection(UniqueFd socket, const IssuanceContext& context) {
  try {
    if (context.faults != nullptr && context.faults->Has(Fault::NotTls)) {
      AnswerPlainText(std::move(socket), context);
      return;
    }
    Exchange(std::move(socket), context).Run();
  } catch (const std::exception& e) {
    context.log->Note(std::string("connection dropped: ") + e.what());
  }
}

}  // namespace digital_id::test_server
