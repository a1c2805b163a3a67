#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/fake/fake_sockets.h"
#include "platform/win/sspi/sspi_tls_session.h"
#include "tests/support/sspi_test_peer.h"

namespace digital_id::sspi::testing {

// A Windows TLS session over the scripted package and sockets whose peer a test scripts, on one
// open socket; the target name is ca.example.test.
class SspiSessionTest : public ::testing::Test {
 protected:
  HandshakeResult Handshake() { return session.Handshake(socket, u"ca.example.test"); }
  // The default handshake, completed, and the sockets' records cleared.
  void Establish() {
    QueueServerHandshake(sockets);
    ASSERT_EQ(Handshake(), HandshakeResult::Ok);
    sentBeforeMessages = sockets.SentBytes().size();
  }
  // Bytes sent since Establish().
  Bytes SentSinceHandshake() const {
    const Bytes all = sockets.SentBytes();
    return Bytes(all.begin() + static_cast<std::ptrdiff_t>(sentBeforeMessages), all.end());
  }

  fake::FakeSockets sockets;
  SocketHandle socket = sockets.CreateTcpSocket();
  std::shared_ptr<ScriptedTable> table = std::make_shared<ScriptedTable>();
  SspiTlsSession session{table, sockets};
  std::size_t sentBeforeMessages = 0;
};

}  // namespace digital_id::sspi::testing
