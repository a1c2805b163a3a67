#pragma once

#include <string>
#include <string_view>

#include "openssl_handles.h"
#include "socket_io.h"
#include "stop_signal.h"
#include "unique_fd.h"

namespace digital_id::test_server {

// Outcome of reading one record.
enum class ReadStatus { Data, Closed, TimedOut, Stopped, Failed };

// The server side of one TLS connection over a non-blocking socket. Every operation is bounded
// by a deadline and ends early when the server stops.
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
  // Sends the closure alert if that can be done at once; the socket closes with the object.
  void Close();

 private:
  // Waits as OpenSSL asks after a call that returned result; false when it cannot go on.
  bool WaitAsAsked(int result, Clock::time_point deadline, ReadStatus& status);

  UniqueFd socket_;
  SslPtr ssl_;
  const StopSignal& stop_;
};

}  // namespace digital_id::test_server
