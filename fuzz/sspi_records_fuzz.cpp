// Feeds arbitrary server bytes, cut into reads of a size the first byte chooses, to the record
// handling of the Windows TLS session (over the scripted package of its unit tests) and checks
// that every receive ends within the bytes given, that a message is never longer than the record
// it came from, and that the stream ends as closed once its bytes are used up.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_input.h"
#include "platform/fake/fake_sockets.h"
#include "platform/win/sspi/sspi_records.h"
#include "platform/win/sspi/sspi_tls_session.h"
#include "tests/support/sspi_test_peer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace digital_id;
  using namespace digital_id::sspi;
  if (size == 0) {
    return 0;
  }
  fake::FakeSockets sockets;
  sockets.whenQueueEmpty = 0;  // the server closes once its bytes are used up
  const SocketHandle socket = sockets.CreateTcpSocket();
  SspiTlsSession session(std::make_shared<testing::ScriptedTable>(), sockets);
  testing::QueueServerHandshake(sockets);
  fuzzing::Require(session.Handshake(socket, u"fuzz.example") == HandshakeResult::Ok);

  const std::size_t chunk = 1 + data[0] % 97;
  for (std::size_t at = 1; at < size; at += chunk) {
    sockets.QueueReceive(Bytes(data + at, data + std::min(size, at + chunk)));
  }
  const std::size_t streamed = size - 1;
  // Each receive that does not end the stream uses up at least one record header.
  const std::size_t mostReceives = streamed / 5 + 2;
  std::size_t receives = 0;
  for (;;) {
    Bytes message;
    const ReceiveResult result = session.Receive(message);
    ++receives;
    fuzzing::Require(receives <= mostReceives);
    fuzzing::Require(message.size() <= std::min(streamed, kReceiveBufferSize));
    fuzzing::Require(result == ReceiveResult::Ok || message.empty());
    if (result == ReceiveResult::Closed) {
      break;
    }
    fuzzing::Require(result == ReceiveResult::Ok || result == ReceiveResult::Unreadable);
  }
  fuzzing::Require(sockets.PendingReceives() == 0);
  return 0;
}
