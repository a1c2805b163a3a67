#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/fake/fake_sockets.h"
#include "platform/fake/fake_tls_engine.h"

// Helpers that let a test play the issuing server over FakeSockets and the fake TLS engine.
// A whole exchange, in the order the server answers:
//   QueueServerHandshake(fakes.sockets);          // matches the engine's default script
//   QueueServerMessage(fakes.sockets, "SRVACK;");
//   QueueServerMessage(fakes.sockets, "ISSUED;...");
//   ... run the client ...
//   SentClientMessages(fakes.sockets)             // e.g. {"REQ;...", "CLTACK;"}
namespace digital_id::fake {

// Queues the server's side of DefaultFakeHandshake(): one read per server flight.
void QueueServerHandshake(FakeSockets& sockets);
// Queues one server message as one record, arriving in one read.
void QueueServerMessage(FakeSockets& sockets, std::string_view message);
// The plaintext messages the client has sent so far, in order (handshake records skipped).
std::vector<std::string> SentClientMessages(const FakeSockets& sockets);

}  // namespace digital_id::fake
