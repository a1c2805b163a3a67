#pragma once

#include <string>

#include "event_log.h"
#include "stop_signal.h"
#include "unique_fd.h"

namespace digital_id::test_server {

// How the anchor bodies (/ca.der, /root.der) are sent.
enum class BodyFault {
  None,     // at once
  Trickle,  // in pieces of 64 bytes with a pause before each
  Stall,    // the header, then nothing until the client goes away or the server stops
  Huge,     // a body of 3 MiB: the certificate followed by zero bytes
};

// What the HTTP side serves.
struct HttpContent {
  std::string caDer;      // GET /ca.der
  std::string rootDer;    // GET /root.der
  std::string caPem;      // GET /ca.pem (a PEM body where DER is expected, for tests)
  std::string stallPath;  // a path that is accepted and never answered; empty for none
  BodyFault bodyFault = BodyFault::None;  // how the anchor bodies are sent
};

// Serves one plain HTTP/1.0 or 1.1 connection: reads the request head, answers GET of a known
// path with 200, other paths with 404, other methods with 405, a bad head with 400, then closes.
void ServeHttpConnection(UniqueFd socket, const HttpContent& content, const StopSignal& stop,
                         EventLog& log);

}  // namespace digital_id::test_server
