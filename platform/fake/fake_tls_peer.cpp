#include "platform/fake/fake_tls_peer.h"

namespace digital_id::fake {

void QueueServerHandshake(FakeSockets& sockets) {
  for (Bytes& flight : FakeServerHandshakeFlights()) sockets.QueueReceive(std::move(flight));
}

void QueueServerMessage(FakeSockets& sockets, std::string_view message) {
  sockets.QueueReceive(MakeFakeRecord(message));
}

std::vector<std::string> SentClientMessages(const FakeSockets& sockets) {
  return ClientMessages(sockets.SentBytes());
}

}  // namespace digital_id::fake
