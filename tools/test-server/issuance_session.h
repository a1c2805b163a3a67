#pragma once

#include <chrono>

#include "code_book.h"
#include "demo_pki.h"
#include "event_log.h"
#include "fault_plan.h"
#include "platform/linux/x509/openssl_handles.h"
#include "stop_signal.h"
#include "unique_fd.h"

namespace digital_id::test_server {

// Everything one issuance exchange needs; shared by all connection threads.
struct IssuanceContext {
  SSL_CTX* tls = nullptr;            // the server's TLS 1.2 context
  const DemoPki* pki = nullptr;      // the issuing CA that signs, and the chain sent back
  CodeBook* codes = nullptr;         // which codes get which verdict
  EventLog* log = nullptr;           // where each step is reported
  const StopSignal* stop = nullptr;  // ends every wait when the server stops
  std::chrono::milliseconds verdictDelay{1000};  // pause between "SRVACK;" and the verdict
  const FaultPlan* faults = nullptr;             // misbehaviour asked for by tests; null: none
  bool logsClientCertificate = false;  // whether the handshake's client certificate is logged
  long clientValidDays = 365;          // issued certificates end this many days from now
};

// Runs the issuance exchange on one accepted connection: handshake, request (possibly over
// several records), first answer, verdict, then the client's "CLTACK;", each step bent by the
// faults of the context. Never throws.
void ServeIssuanceConnection(UniqueFd socket, const IssuanceContext& context);

}  // namespace digital_id::test_server
