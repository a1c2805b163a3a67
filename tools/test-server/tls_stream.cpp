#include "tls_stream.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace digital_id::test_server {

namespace {

constexpr std::size_t kMaxRecordBytes = 16384;
// Pause before each piece of a paced send: long enough for the peer to read each piece alone.
constexpr auto kPiecePause = std::chrono::milliseconds(40);
// Bound of the closure alert at the end.
constexpr auto kCloseBound = std::chrono::milliseconds(500);

}  // namespace

TlsStream::TlsStream(SSL_CTX* context, UniqueFd socket, const StopSignal& stop)
    : socket_(std::move(socket)), ssl_(SSL_new(context)), stop_(stop) {
  BIO* input = ssl_ ? BIO_new_socket(socket_.Get(), BIO_NOCLOSE) : nullptr;
  BIO* output = input != nullptr ? BIO_new(BIO_s_mem()) : nullptr;
  if (output == nullptr) {
    BIO_free(input);
    ssl_.reset();
    return;
  }
  SSL_set_bio(ssl_.get(), input, output);  // the session owns both from here on
  output_ = output;
  SSL_set_accept_state(ssl_.get());
}

bool TlsStream::Flush(Clock::time_point deadline) {
  std::string wire;
  char buffer[4096];
  for (int n = 0; (n = BIO_read(output_, buffer, sizeof(buffer))) > 0;) {
    wire.append(buffer, static_cast<std::size_t>(n));
  }
  return wire.empty() || SendAll(socket_.Get(), wire, stop_, deadline);
}

bool TlsStream::WaitAsAsked(int result, Clock::time_point deadline, ReadStatus& status) {
  const int reason = SSL_get_error(ssl_.get(), result);
  // Whatever OpenSSL answered (an alert included) goes out before waiting or giving up.
  const bool flushed = Flush(deadline);
  if (reason != SSL_ERROR_WANT_READ || !flushed) {
    const bool eof = reason == SSL_ERROR_ZERO_RETURN ||
                     (reason == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) ||
                     (reason == SSL_ERROR_SSL &&
                      ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING);
    ERR_clear_error();
    status = eof ? ReadStatus::Closed : ReadStatus::Failed;
    return false;
  }
  switch (WaitForSocket(socket_.Get(), POLLIN, stop_, deadline)) {
    case WaitResult::Ready:
      return true;
    case WaitResult::TimedOut:
      status = ReadStatus::TimedOut;
      return false;
    case WaitResult::Stopped:
      status = ReadStatus::Stopped;
      return false;
  }
  return false;
}

bool TlsStream::Handshake(Clock::time_point deadline, std::string& error) {
  if (!ssl_) {
    error = "no TLS session";
    return false;
  }
  for (;;) {
    ERR_clear_error();
    const int result = SSL_accept(ssl_.get());
    if (result == 1) {
      if (Flush(deadline)) return true;
      error = "handshake answer not sent";
      return false;
    }
    ReadStatus status = ReadStatus::Failed;
    if (WaitAsAsked(result, deadline, status)) continue;
    switch (status) {
      case ReadStatus::TimedOut:
        error = "handshake timed out";
        break;
      case ReadStatus::Stopped:
        error = "server stopping";
        break;
      case ReadStatus::Closed:
        error = "peer closed the connection during the handshake";
        break;
      default:
        error = "handshake failed";
        break;
    }
    return false;
  }
}

ReadStatus TlsStream::ReadRecord(std::string& data, Clock::time_point deadline) {
  data.clear();
  if (!ssl_) return ReadStatus::Failed;
  std::string buffer(kMaxRecordBytes, '\0');
  for (;;) {
    ERR_clear_error();
    const int result = SSL_read(ssl_.get(), buffer.data(), static_cast<int>(buffer.size()));
    if (result > 0) {
      data.assign(buffer.data(), static_cast<std::size_t>(result));
      return ReadStatus::Data;
    }
    ReadStatus status = ReadStatus::Failed;
    if (!WaitAsAsked(result, deadline, status)) return status;
  }
}

std::string TlsStream::Seal(std::string_view message, std::size_t recordSize) {
  if (!ssl_ || message.empty() || recordSize == 0 || Flush(Clock::now()) == false) return {};
  recordSize = std::min(recordSize, kMaxRecordBytes);
  for (std::size_t done = 0; done < message.size(); done += recordSize) {
    const std::size_t size = std::min(recordSize, message.size() - done);
    ERR_clear_error();
    // Writes into memory never block, so each call makes exactly one record.
    if (SSL_write(ssl_.get(), message.data() + done, static_cast<int>(size)) !=
        static_cast<int>(size)) {
      ERR_clear_error();
      return {};
    }
  }
  std::string wire;
  char buffer[4096];
  for (int n = 0; (n = BIO_read(output_, buffer, sizeof(buffer))) > 0;) {
    wire.append(buffer, static_cast<std::size_t>(n));
  }
  return wire;
}

bool TlsStream::SendWire(std::string_view wire, Pacing pacing, Clock::time_point deadline) {
  if (wire.empty()) return false;
  if (pacing == Pacing::AtOnce) return SendAll(socket_.Get(), wire, stop_, deadline);
  // Each piece must leave as a segment of its own rather than wait for the one before.
  const int on = 1;
  ::setsockopt(socket_.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  std::vector<std::size_t> pieces = {std::min<std::size_t>(3, wire.size())};
  pieces.push_back(std::min<std::size_t>(2, wire.size() - pieces[0]));
  const std::size_t rest = wire.size() - pieces[0] - pieces[1];
  const std::size_t quarter = (rest + 3) / 4;
  for (std::size_t left = rest; left > 0; left -= std::min(quarter, left)) {
    pieces.push_back(std::min(quarter, left));
  }
  std::size_t done = 0;
  for (const std::size_t piece : pieces) {
    if (piece == 0) continue;
    if (done > 0) {
      pollfd pause{stop_.Fd(), POLLIN, 0};
      ::poll(&pause, 1, static_cast<int>(kPiecePause.count()));
      if (stop_.Triggered()) return false;
    }
    if (!SendAll(socket_.Get(), wire.substr(done, piece), stop_, deadline)) return false;
    done += piece;
  }
  return true;
}

bool TlsStream::WriteRecord(std::string_view message, Clock::time_point deadline) {
  if (message.size() > kMaxRecordBytes) return false;
  const std::string wire = Seal(message);
  return !wire.empty() && SendWire(wire, Pacing::AtOnce, deadline);
}

void TlsStream::HoldUntilPeerCloses(Clock::time_point deadline) {
  char buffer[4096];
  while (WaitForSocket(socket_.Get(), POLLIN, stop_, deadline) == WaitResult::Ready) {
    const ssize_t n = ::recv(socket_.Get(), buffer, sizeof(buffer), 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return;
  }
}

void TlsStream::Close() {
  if (!ssl_) return;
  ERR_clear_error();
  if (SSL_is_init_finished(ssl_.get())) {
    SSL_shutdown(ssl_.get());
    Flush(Clock::now() + kCloseBound);
  }
  ERR_clear_error();
}

X509* TlsStream::PeerCertificate() const {
  return ssl_ ? SSL_get0_peer_certificate(ssl_.get()) : nullptr;
}

}  // namespace digital_id::test_server
