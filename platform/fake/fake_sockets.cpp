#include "platform/fake/fake_sockets.h"

#include <algorithm>
#include <cstring>

namespace digital_id::fake {

int FakeSockets::Startup(std::uint8_t, std::uint8_t) {
  std::lock_guard lock(lock_);
  ++startups_;
  return startupResult;
}

void FakeSockets::Cleanup() {
  ++cleanups;
}

SocketHandle FakeSockets::CreateTcpSocket() {
  std::lock_guard lock(lock_);
  if (failSocketCreation) return kInvalidSocket;
  const SocketHandle socket = nextSocket_++;
  open_.insert(socket);
  ++created_;
  return socket;
}

std::optional<std::uint32_t> FakeSockets::ResolveIpv4(const std::string& host) {
  std::lock_guard lock(lock_);
  resolves_.push_back(host);
  auto found = hosts_.find(host);
  if (found == hosts_.end()) return std::nullopt;
  return found->second;
}

int FakeSockets::SetNonBlocking(SocketHandle socket, bool nonBlocking) {
  std::lock_guard lock(lock_);
  nonBlockingModes_.push_back(nonBlocking);
  return IsOpen(socket) ? 0 : kSocketError;
}

int FakeSockets::Connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
  std::lock_guard lock(lock_);
  connects_.push_back({socket, address, port});
  // A non-blocking connect answers "in progress", as a real one does.
  return kSocketError;
}

int FakeSockets::WaitForConnection(SocketHandle socket, long seconds, long microseconds) {
  std::lock_guard lock(lock_);
  waits_.push_back({socket, seconds, microseconds});
  return IsOpen(socket) ? waitResult : kSocketError;
}

int FakeSockets::PendingError(SocketHandle) {
  std::lock_guard lock(lock_);
  return pendingError;
}

int FakeSockets::SetReceiveTimeout(SocketHandle socket, std::uint32_t milliseconds) {
  std::lock_guard lock(lock_);
  receiveTimeouts_.push_back(milliseconds);
  return IsOpen(socket) ? 0 : kSocketError;
}

int FakeSockets::SetSendTimeout(SocketHandle socket, std::uint32_t milliseconds) {
  std::lock_guard lock(lock_);
  sendTimeouts_.push_back(milliseconds);
  return IsOpen(socket) ? 0 : kSocketError;
}

int FakeSockets::Send(SocketHandle socket, const std::uint8_t* data, int length) {
  std::lock_guard lock(lock_);
  sendLengths_.push_back(length);
  if (!IsOpen(socket) || length < 0) return kSocketError;
  int limit = maxSendChunk > 0 ? maxSendChunk : length;
  if (!sendResults_.empty()) {
    limit = sendResults_.front();
    sendResults_.pop_front();
    if (limit == kSocketError || limit == 0) return limit;
  }
  const int taken = std::min(limit, length);
  sent_.insert(sent_.end(), data, data + taken);
  return taken;
}

int FakeSockets::Receive(SocketHandle socket, std::uint8_t* buffer, int length) {
  std::lock_guard lock(lock_);
  receiveLengths_.push_back(length);
  if (!IsOpen(socket)) return kSocketError;
  if (closedByPeer_ || length <= 0) return 0;
  if (receives_.empty()) return whenQueueEmpty;
  ReceiveStep& step = receives_.front();
  switch (step.kind) {
    case ReceiveStep::Kind::Error:
      receives_.pop_front();
      return kSocketError;
    case ReceiveStep::Kind::Close:
      receives_.pop_front();
      closedByPeer_ = true;
      return 0;
    case ReceiveStep::Kind::Bytes:
      break;
  }
  const std::size_t taken = std::min(step.bytes.size(), static_cast<std::size_t>(length));
  std::memcpy(buffer, step.bytes.data(), taken);
  step.bytes.erase(step.bytes.begin(), step.bytes.begin() + static_cast<std::ptrdiff_t>(taken));
  if (step.bytes.empty()) receives_.pop_front();
  return static_cast<int>(taken);
}

int FakeSockets::Close(SocketHandle socket) {
  std::lock_guard lock(lock_);
  if (open_.erase(socket) == 0) {
    ++invalidCloses_;
    return kSocketError;
  }
  ++closed_;
  return 0;
}

void FakeSockets::AddHost(const std::string& host, std::uint32_t address) {
  std::lock_guard lock(lock_);
  hosts_[host] = address;
}

void FakeSockets::QueueReceive(Bytes chunk) {
  std::lock_guard lock(lock_);
  // An empty chunk would read as the peer's close; it is not a step.
  if (!chunk.empty()) receives_.push_back({ReceiveStep::Kind::Bytes, std::move(chunk)});
}

void FakeSockets::QueueReceiveError() {
  std::lock_guard lock(lock_);
  receives_.push_back({ReceiveStep::Kind::Error, {}});
}

void FakeSockets::QueueClose() {
  std::lock_guard lock(lock_);
  receives_.push_back({ReceiveStep::Kind::Close, {}});
}

void FakeSockets::QueueSendResult(int result) {
  std::lock_guard lock(lock_);
  sendResults_.push_back(result);
}

Bytes FakeSockets::SentBytes() const {
  std::lock_guard lock(lock_);
  return sent_;
}

std::vector<int> FakeSockets::SendLengths() const {
  std::lock_guard lock(lock_);
  return sendLengths_;
}

std::vector<int> FakeSockets::ReceiveLengths() const {
  std::lock_guard lock(lock_);
  return receiveLengths_;
}

std::size_t FakeSockets::PendingReceives() const {
  std::lock_guard lock(lock_);
  return receives_.size();
}

std::vector<std::string> FakeSockets::Resolves() const {
  std::lock_guard lock(lock_);
  return resolves_;
}

std::vector<FakeConnect> FakeSockets::Connects() const {
  std::lock_guard lock(lock_);
  return connects_;
}

std::vector<FakeWait> FakeSockets::Waits() const {
  std::lock_guard lock(lock_);
  return waits_;
}

std::vector<bool> FakeSockets::NonBlockingModes() const {
  std::lock_guard lock(lock_);
  return nonBlockingModes_;
}

std::vector<std::uint32_t> FakeSockets::ReceiveTimeouts() const {
  std::lock_guard lock(lock_);
  return receiveTimeouts_;
}

std::vector<std::uint32_t> FakeSockets::SendTimeouts() const {
  std::lock_guard lock(lock_);
  return sendTimeouts_;
}

int FakeSockets::Startups() const {
  std::lock_guard lock(lock_);
  return startups_;
}

int FakeSockets::SocketsCreated() const {
  std::lock_guard lock(lock_);
  return created_;
}

int FakeSockets::SocketsClosed() const {
  std::lock_guard lock(lock_);
  return closed_;
}

int FakeSockets::OpenSockets() const {
  std::lock_guard lock(lock_);
  return static_cast<int>(open_.size());
}

int FakeSockets::InvalidCloses() const {
  std::lock_guard lock(lock_);
  return invalidCloses_;
}

bool FakeSockets::IsOpen(SocketHandle socket) const {
  return open_.count(socket) != 0;
}

}  // namespace digital_id::fake
