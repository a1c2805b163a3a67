#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/cert_store.h"
#include "platform/lock.h"
#include "platform/sockets.h"

namespace digital_id::fake {

// One connection attempt as the fake saw it.
struct FakeConnect {
  SocketHandle socket = kInvalidSocket;
  std::uint32_t address = 0;  // network byte order
  std::uint16_t port = 0;     // host byte order
};

// One connection wait as the fake saw it.
struct FakeWait {
  SocketHandle socket = kInvalidSocket;
  long seconds = 0;
  long microseconds = 0;
};

// Sockets with a scripted peer. Set the script before the code under test runs (the fields are
// plain values); every call is recorded under a lock, so a test may read the observations from
// its own thread once the worker is done.
//
// The peer: ResolveIpv4 answers from a table of hosts; a connection wait answers waitResult and
// the socket's pending error is pendingError. Receive hands out a queue of steps in order: a
// chunk of bytes (split across reads when the caller asks for less), an error, or the peer's
// close (sticky: every later read answers 0 as well). With the queue empty a read answers
// whenQueueEmpty (an error by default, as when the receive time-out expires). Send takes every
// byte offered unless a send script or maxSendChunk says otherwise; all bytes taken are logged.
class FakeSockets : public Sockets {
 public:
  int Startup(std::uint8_t major, std::uint8_t minor) override;
  void Cleanup() override;
  SocketHandle CreateTcpSocket() override;
  std::optional<std::uint32_t> ResolveIpv4(const std::string& host) override;
  int SetNonBlocking(SocketHandle socket, bool nonBlocking) override;
  int Connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) override;
  int WaitForConnection(SocketHandle socket, long seconds, long microseconds) override;
  int PendingError(SocketHandle socket) override;
  int SetReceiveTimeout(SocketHandle socket, std::uint32_t milliseconds) override;
  int SetSendTimeout(SocketHandle socket, std::uint32_t milliseconds) override;
  int Send(SocketHandle socket, const std::uint8_t* data, int length) override;
  int Receive(SocketHandle socket, std::uint8_t* buffer, int length) override;
  int Close(SocketHandle socket) override;

  // --- Script ---
  int startupResult = 0;              // what Startup answers (0: started)
  bool failSocketCreation = false;    // CreateTcpSocket answers kInvalidSocket
  int waitResult = 1;                 // positive: ready; 0: time-out; kSocketError
  int pendingError = 0;               // 0: connected; e.g. 10061 (refused), 10065 (unreachable)
  int whenQueueEmpty = kSocketError;  // what a read answers once the receive queue is used up
  int maxSendChunk = 0;               // most bytes one Send takes (0: all), for short sends

  // Makes a host name or dotted address resolve to an IPv4 address (network byte order).
  void AddHost(const std::string& host, std::uint32_t address);
  // Queues bytes the peer sends; a read takes as much of them as it asks for.
  void QueueReceive(Bytes chunk);
  // Queues a failed read (connection reset or receive time-out).
  void QueueReceiveError();
  // Queues the peer's close: that read and every later one answers 0.
  void QueueClose();
  // Scripts the next Send calls, one entry each: kSocketError fails, 0 answers 0, n > 0 takes
  // at most n bytes. Once the entries are used up, maxSendChunk applies.
  void QueueSendResult(int result);

  // --- Observations ---
  // Every byte the peer accepted, in order.
  Bytes SentBytes() const;
  // The length offered by each Send call, in order.
  std::vector<int> SendLengths() const;
  // The length asked for by each Receive call, in order.
  std::vector<int> ReceiveLengths() const;
  // Receive steps not yet taken (a partly taken chunk counts).
  std::size_t PendingReceives() const;
  // Host names looked up, in order.
  std::vector<std::string> Resolves() const;
  // Connection attempts, in order.
  std::vector<FakeConnect> Connects() const;
  // Connection waits with their time values, in order.
  std::vector<FakeWait> Waits() const;
  // The non-blocking mode set by each SetNonBlocking call, in order.
  std::vector<bool> NonBlockingModes() const;
  // Receive and send time-outs set, in milliseconds, in order.
  std::vector<std::uint32_t> ReceiveTimeouts() const;
  std::vector<std::uint32_t> SendTimeouts() const;
  // Startup calls.
  int Startups() const;
  // Valid sockets handed out.
  int SocketsCreated() const;
  int SocketsClosed() const;  // valid sockets closed
  int OpenSockets() const;    // created and not yet closed
  int InvalidCloses() const;  // Close calls on a socket that was not open
  // Cleanup calls (also readable directly, for older tests).
  std::atomic<int> cleanups{0};

 private:
  struct ReceiveStep {
    enum class Kind { Bytes, Error, Close } kind = Kind::Bytes;
    Bytes bytes;
  };
  bool IsOpen(SocketHandle socket) const;

  mutable Lock lock_;
  std::map<std::string, std::uint32_t> hosts_;
  std::deque<ReceiveStep> receives_;
  std::deque<int> sendResults_;
  bool closedByPeer_ = false;
  std::set<SocketHandle> open_;
  SocketHandle nextSocket_ = 0x100;
  Bytes sent_;
  std::vector<int> sendLengths_;
  std::vector<int> receiveLengths_;
  std::vector<std::string> resolves_;
  std::vector<FakeConnect> connects_;
  std::vector<FakeWait> waits_;
  std::vector<bool> nonBlockingModes_;
  std::vector<std::uint32_t> receiveTimeouts_;
  std::vector<std::uint32_t> sendTimeouts_;
  int startups_ = 0;
  int created_ = 0;
  int closed_ = 0;
  int invalidCloses_ = 0;
};

}  // namespace digital_id::fake
