#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/linux/system/posix_sockets.h"
#include "tests/support/tls_test_loopback_peer.h"

namespace digital_id {
namespace {

using tls_test::Descriptor;
using tls_test::LoopbackPeer;

// A socket made by PosixSockets, closed through it.
class ClientSocket {
 public:
  explicit ClientSocket(PosixSockets& sockets) : sockets_(sockets) {
    handle = sockets_.CreateTcpSocket();
  }
  ~ClientSocket() {
    if (handle != kInvalidSocket) {
      sockets_.Close(handle);
    }
  }
  ClientSocket(const ClientSocket&) = delete;
  ClientSocket& operator=(const ClientSocket&) = delete;

  SocketHandle handle;

 private:
  PosixSockets& sockets_;
};

// 127.0.0.1 in network byte order.
std::uint32_t LoopbackAddress() {
  return htonl(INADDR_LOOPBACK);
}

TEST(PosixSockets, RefusedConnectionGivesAPositiveWaitAndAPendingError) {
  PosixSockets sockets;
  LoopbackPeer closedPort(false);
  ASSERT_NE(closedPort.Port(), 0);
  ClientSocket client(sockets);
  ASSERT_NE(client.handle, kInvalidSocket);
  ASSERT_EQ(sockets.SetNonBlocking(client.handle, true), 0);
  EXPECT_EQ(sockets.Connect(client.handle, LoopbackAddress(), closedPort.Port()), kSocketError);
  ASSERT_EQ(sockets.SetNonBlocking(client.handle, false), 0);
  EXPECT_GT(sockets.WaitForConnection(client.handle, 0, 5000000), 0);
  EXPECT_EQ(sockets.PendingError(client.handle), ECONNREFUSED);
}

TEST(PosixSockets, EstablishedConnectionCarriesBytesTimesOutAndSeesThePeerClose) {
  PosixSockets sockets;
  EXPECT_EQ(sockets.Startup(2, 2), 0);
  LoopbackPeer listener(true);
  ASSERT_NE(listener.Port(), 0);
  ClientSocket client(sockets);
  ASSERT_EQ(sockets.SetNonBlocking(client.handle, true), 0);
  sockets.Connect(client.handle, LoopbackAddress(), listener.Port());
  ASSERT_EQ(sockets.SetNonBlocking(client.handle, false), 0);
  // Microseconds beyond one second are a longer wait, not an invalid argument.
  ASSERT_GT(sockets.WaitForConnection(client.handle, 0, 2500000), 0);
  EXPECT_EQ(sockets.PendingError(client.handle), 0);
  Descriptor peer(listener.Accept());
  ASSERT_GE(peer.Get(), 0);

  const std::string hello = "hello";
  EXPECT_EQ(sockets.Send(client.handle, reinterpret_cast<const std::uint8_t*>(hello.data()),
                         static_cast<int>(hello.size())),
            5);
  std::array<char, 16> seen{};
  ASSERT_EQ(::recv(peer.Get(), seen.data(), seen.size(), 0), 5);
  EXPECT_EQ(std::string(seen.data(), 5), hello);

  ASSERT_EQ(::send(peer.Get(), "reply", 5, 0), 5);
  std::array<std::uint8_t, 16> received{};
  ASSERT_EQ(sockets.Receive(client.handle, received.data(), static_cast<int>(received.size())), 5);
  EXPECT_EQ(std::memcmp(received.data(), "reply", 5), 0);

  ASSERT_EQ(sockets.SetReceiveTimeout(client.handle, 50), 0);
  ASSERT_EQ(sockets.SetSendTimeout(client.handle, 50), 0);
  EXPECT_EQ(sockets.Receive(client.handle, received.data(), static_cast<int>(received.size())),
            kSocketError);

  peer.Reset();
  EXPECT_EQ(sockets.Receive(client.handle, received.data(), static_cast<int>(received.size())), 0);
  // Writing to a closed connection fails instead of raising SIGPIPE.
  int result = 0;
  for (int attempt = 0; attempt < 100 && result != kSocketError; ++attempt) {
    result = sockets.Send(client.handle, reinterpret_cast<const std::uint8_t*>(hello.data()),
                          static_cast<int>(hello.size()));
  }
  EXPECT_EQ(result, kSocketError);
  sockets.Cleanup();
}

TEST(PosixSockets, NamesResolveToIpv4InNetworkOrder) {
  PosixSockets sockets;
  EXPECT_EQ(sockets.ResolveIpv4("127.0.0.1"), LoopbackAddress());
  const std::optional<std::uint32_t> localhost = sockets.ResolveIpv4("localhost");
  ASSERT_TRUE(localhost.has_value());
  EXPECT_EQ(ntohl(*localhost) >> 24, 127u);
  EXPECT_FALSE(sockets.ResolveIpv4("").has_value());
}

TEST(PosixSockets, InvalidSocketIsRefusedWithoutHarm) {
  PosixSockets sockets;
  std::array<std::uint8_t, 4> buffer{};
  EXPECT_EQ(sockets.Close(kInvalidSocket), kSocketError);
  EXPECT_EQ(sockets.Send(kInvalidSocket, buffer.data(), 4), kSocketError);
  EXPECT_EQ(sockets.Receive(kInvalidSocket, buffer.data(), 4), kSocketError);
  EXPECT_EQ(sockets.SetNonBlocking(kInvalidSocket, true), kSocketError);
  EXPECT_EQ(sockets.WaitForConnection(kInvalidSocket, 0, 0), kSocketError);
  EXPECT_NE(sockets.PendingError(kInvalidSocket), 0);
  EXPECT_EQ(sockets.SetReceiveTimeout(kInvalidSocket, 10), kSocketError);
}

}  // namespace
}  // namespace digital_id
