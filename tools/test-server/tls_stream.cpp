#include "tls_stream.h"

#include <openssl/err.h>
#include <poll.h>

#include <cerrno>

namespace digital_id::test_server {

namespace {

constexpr std::size_t kMaxRecordBytes = 16384;

}  // namespace

TlsStream::TlsStream(SSL_CTX* context, UniqueFd socket, const StopSignal& stop)
    : socket_(std::move(socket)), ssl_(SSL_new(context)), stop_(stop) {
  if (ssl_ && SSL_set_fd(ssl_.get(), socket_.Get()) != 1) ssl_.reset();
  if (ssl_) SSL_set_accept_state(ssl_.get());
}

bool TlsStream::WaitAsAsked(int result, Clock::time_point deadline, ReadStatus& status) {
  const int reason = SSL_get_error(ssl_.get(), result);
  short events = 0;
  if (reason == SSL_ERROR_WANT_READ) {
    events = POLLIN;
  } else if (reason == SSL_ERROR_WANT_WRITE) {
    events = POLLOUT;
  } else {
    const bool eof = reason == SSL_ERROR_ZERO_RETURN ||
                     (reason == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) ||
                     (reason == SSL_ERROR_SSL &&
                      ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING);
    ERR_clear_error();
    status = eof ? ReadStatus::Closed : ReadStatus::Failed;
    return false;
  }
  switch (WaitForSocket(socket_.Get(), events, stop_, deadline)) {
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
    if (result == 1) return true;
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

bool TlsStream::WriteRecord(std::string_view message, Clock::time_point deadline) {
  if (!ssl_ || message.empty() || message.size() > kMaxRecordBytes) return false;
  for (;;) {
    ERR_clear_error();
    // A retried write must repeat the same arguments; without partial writes it still makes one
    // record.
    const int result = SSL_write(ssl_.get(), message.data(), static_cast<int>(message.size()));
    if (result > 0) return static_cast<std::size_t>(result) == message.size();
    ReadStatus status = ReadStatus::Failed;
    if (!WaitAsAsked(result, deadline, status)) return false;
  }
}

void TlsStream::Close() {
  if (!ssl_) return;
  ERR_clear_error();
  if (SSL_is_init_finished(ssl_.get())) SSL_shutdown(ssl_.get());
  ERR_clear_error();
}

}  // namespace digital_id::test_server
