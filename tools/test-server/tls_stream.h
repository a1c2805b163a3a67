#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/linux/x509/openssl_handles.h"
#include "socket_io.h"
#include "stop_signal.h"
#include "unique_fd.h"

namespace digital_id::test_server {

// Outcome of reading one record.
enum class ReadStatus { Data, Closed, TimedOut, Stopped, Failed };

// How bytes go onto the wire: all at once, or in pieces with pauses between them.
enum class Pacing {
  AtOnce,    // one send of everything
  Segments,  // a record header split in two, then the rest in four pieces, each its own
             // TCP segment, with a pause before each piece
};

// The server side of one TLS connection over a non-blocking socket. OpenSSL reads from the
// socket and writes into memory; this class puts the written bytes on the wire, so that tests
// can choose how they are cut. Every operation is bounded by a deadline and ends early when the
// server stops.
class TlsStream {
 public:
  // Wraps socket; nothing is exchanged yet.
  TlsStream(SSL_CTX* context, UniqueFd socket, const StopSignal& stop);

  // Runs the server handshake; false (with the reason in error) when it fails.
  bool Handshake(Clock::time_point deadline, std::string& error);
  // Reads the content of the next record into data.
  ReadStatus ReadRecord(std::string& data, Clock::time_point deadline);
  // Sends message as one record (it must not exceed 16,384 bytes).
  bool WriteRecord(std::string_view message, Clock::time_point deadline);
  // The wire bytes of message encrypted as records of at most recordSize bytes of content each
  // (one record when it fits), not yet sent; empty on failure.
  std::string Seal(std::string_view message, std::size_t recordSize = 16384);
  // Puts wire bytes (from Seal) on the socket as pacing says; false on error, time-out or stop.
  bool SendWire(std::string_view wire, Pacing pacing, Clock::time_point deadline);
  // Waits, reading and dropping whatever arrives, until the peer closes the connection, the
  // deadline passes or the server stops.
  void HoldUntilPeerCloses(Clock::time_point deadline);
  // Sends the closure alert if that can be done at once; the socket closes with the object.
  void Close();
  // The certificate the client presented in the handshake (owned by the stream); null if none.
  X509* PeerCertificate() const;

 private:
  // Waits as OpenSSL asks after a call that returned result; false when it cannot go on.
  bool WaitAsAsked(int result, Clock::time_point deadline, ReadStatus& status);
  // Sends what OpenSSL has written so far; false when that fails.
  bool Flush(Clock::time_point deadline);

  UniqueFd socket_;
  SslPtr ssl_;
  BIO* output_ = nullptr;  // the memory BIO OpenSSL writes into (owned by ssl_)
  const StopSignal& stop_;
};

}  // namespace digital_id::test_server
