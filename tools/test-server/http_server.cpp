#include "http_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <exception>

#include "socket_io.h"

namespace digital_id::test_server {

namespace {

constexpr std::size_t kMaxHeadBytes = 8192;
constexpr auto kHeadTimeout = std::chrono::seconds(10);
constexpr auto kSendTimeout = std::chrono::seconds(10);

// Reads until the blank line that ends the head; false on time-out, stop, close or overflow.
bool ReadHead(int fd, const StopSignal& stop, std::string& head) {
  const auto deadline = Clock::now() + kHeadTimeout;
  char buffer[1024];
  while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
    if (head.size() > kMaxHeadBytes) return false;
    const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
    if (n > 0) {
      head.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (WaitForSocket(fd, POLLIN, stop, deadline) != WaitResult::Ready) return false;
    } else {
      return false;
    }
  }
  return true;
}

// Holds the connection open, sending nothing, until the server stops or the client goes away.
void Stall(int fd, const StopSignal& stop) {
  char buffer[256];
  for (;;) {
    pollfd entries[2] = {{fd, POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
    if (::poll(entries, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (entries[1].revents != 0) return;
    const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return;
  }
}

constexpr std::size_t kHugeBodyBytes = 3 * 1024 * 1024;
constexpr std::size_t kTricklePiece = 64;
constexpr auto kTricklePause = std::chrono::milliseconds(30);

// Sends an anchor answer as the body fault says; false when it could not be sent. A stalled
// answer returns once the client has gone.
bool SendAnchor(int fd, const std::string& response, std::size_t bodySize, BodyFault fault,
                const StopSignal& stop) {
  const std::size_t headSize = response.size() - bodySize;
  const auto deadline = Clock::now() + kSendTimeout;
  switch (fault) {
    case BodyFault::None:
    case BodyFault::Huge:
      return SendAll(fd, response, stop, deadline);
    case BodyFault::Stall:
      if (!SendAll(fd, std::string_view(response).substr(0, headSize), stop, deadline)) {
        return false;
      }
      Stall(fd, stop);
      return true;
    case BodyFault::Trickle:
      break;
  }
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  const std::string_view bytes = response;
  if (!SendAll(fd, bytes.substr(0, headSize), stop, deadline)) return false;
  for (std::size_t done = headSize; done < bytes.size(); done += kTricklePiece) {
    pollfd pause{stop.Fd(), POLLIN, 0};
    ::poll(&pause, 1, static_cast<int>(kTricklePause.count()));
    if (stop.Triggered() || !SendAll(fd, bytes.substr(done, kTricklePiece), stop, deadline)) {
      return false;
    }
  }
  return true;
}

std::string Response(int status, const char* reason, const char* type, const std::string& body) {
  return "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         body;
}

void Serve(UniqueFd socket, const HttpContent& content, const StopSignal& stop, EventLog& log) {
  std::string head;
  if (!ReadHead(socket.Get(), stop, head)) return;
  const std::string line = head.substr(0, head.find_first_of("\r\n"));
  const std::size_t firstSpace = line.find(' ');
  const std::size_t secondSpace =
      firstSpace == std::string::npos ? std::string::npos : line.find(' ', firstSpace + 1);
  std::string response;
  std::string path = "-";
  int status = 400;
  if (secondSpace == std::string::npos || line.compare(secondSpace + 1, 5, "HTTP/") != 0) {
    response = Response(400, "Bad Request", "text/plain", "Bad request\n");
  } else {
    const std::string method = line.substr(0, firstSpace);
    path = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    if (method != "GET") {
      status = 405;
      response = Response(405, "Method Not Allowed", "text/plain", "Only GET is served\n");
    } else if (!content.stallPath.empty() && path == content.stallPath) {
      log.Event("http " + path + " stalled");
      Stall(socket.Get(), stop);
      return;
    } else if (path == "/ca.der" || path == "/root.der") {
      std::string body = path == "/ca.der" ? content.caDer : content.rootDer;
      if (content.bodyFault == BodyFault::Huge) body.resize(kHugeBodyBytes, '\0');
      response = Response(200, "OK", "application/pkix-cert", body);
      const bool sent = SendAnchor(socket.Get(), response, body.size(), content.bodyFault, stop);
      log.Event("http " + path + (content.bodyFault == BodyFault::Stall ? " 200-stalled" : " 200") +
                (sent ? "" : " unsent"));
      ::shutdown(socket.Get(), SHUT_WR);
      return;
    } else if (path == "/ca.pem") {
      status = 200;
      response = Response(200, "OK", "application/x-pem-file", content.caPem);
    } else {
      status = 404;
      response = Response(404, "Not Found", "text/plain", "Not found\n");
    }
  }
  const bool sent = SendAll(socket.Get(), response, stop, Clock::now() + kSendTimeout);
  log.Event("http " + path + " " + std::to_string(status) + (sent ? "" : " unsent"));
  // The body is complete: say so before the socket closes.
  ::shutdown(socket.Get(), SHUT_WR);
}

}  // namespace

void ServeHttpConnection(UniqueFd socket, const HttpContent& content, const StopSignal& stop,
                         EventLog& log) {
  try {
    Serve(std::move(socket), content, stop, log);
  } catch (const std::exception& e) {
    log.Note(std::string("HTTP connection dropped: ") + e.what());
  }
}

}  // namespace digital_id::test_server
