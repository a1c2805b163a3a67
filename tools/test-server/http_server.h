#pragma once

#include <string>

#include "event_log.h"
#include "stop_signal.h"
#include "unique_fd.h"

namespace digital_id::test_server {

// What the HTTP side serves.
struct HttpContent {
  std::string caDer;      // GET /ca.der
  std::string rootDer;    // GET /root.der
  std::string caPem;      // GET /ca.pem (a PEM body where DER is expected, for tests)
  std::string stallPath;  // a path that is accepted and never answered; empty for none
};

// Serves one plain HTTP/1.0 or 1.1 connection: reads the request head, answers GET of a known
// path with 200, other paths with 404, other methods with 405, a bad head with 400, then closes.
void ServeHttpConnection(UniqueFd socket, const HttpContent& content, const StopSignal& stop,
                         EventLog& log);

}  // namespace digital_id::test_server
