// A small Schannel TLS client that authenticates with a certificate from a store, to show that
// an installed certificate is joined to a usable private key.
// Winsock 2 comes before windows.h, which the header includes.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/win/client_certificate_tls.h"

#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace digital_id::wine_test {

namespace {

// Winsock started for the object's lifetime.
class Winsock {
 public:
  Winsock() {
    WSADATA data{};
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~Winsock() {
    if (started_) {
      WSACleanup();
    }
  }
  Winsock(const Winsock&) = delete;
  Winsock& operator=(const Winsock&) = delete;
  bool Started() const { return started_; }

 private:
  bool started_ = false;
};

// A connected TCP socket, closed with the object.
class Connection {
 public:
  explicit Connection(unsigned short port) : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const DWORD timeout = 30000;
    connected_ = socket_ != INVALID_SOCKET &&
                 setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO,
                            reinterpret_cast<const char*>(&timeout), sizeof timeout) == 0 &&
                 connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~Connection() {
    if (socket_ != INVALID_SOCKET) {
      closesocket(socket_);
    }
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Connected() const { return connected_; }
  bool SendAll(const BYTE* data, std::size_t size) const {
    while (size > 0) {
      const int sent =
          send(socket_, reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
      if (sent <= 0) {
        return false;
      }
      data += sent;
      size -= static_cast<std::size_t>(sent);
    }
    return true;
  }
  // Appends what one read returns; false when the peer closed or the read failed.
  bool Receive(std::vector<BYTE>& into) const {
    char chunk[16384];
    const int received = recv(socket_, chunk, sizeof chunk, 0);
    if (received <= 0) {
      return false;
    }
    into.insert(into.end(), chunk, chunk + received);
    return true;
  }

 private:
  SOCKET socket_;
  bool connected_ = false;
};

// A credentials handle, freed with the object.
class Credentials {
 public:
  ~Credentials() {
    if (acquired_) {
      FreeCredentialsHandle(&handle_);
    }
  }
  CredHandle* Handle() { return &handle_; }
  void MarkAcquired() { acquired_ = true; }

 private:
  CredHandle handle_{};
  bool acquired_ = false;
};

// A security context, deleted with the object.
class Context {
 public:
  ~Context() {
    if (made_) {
      DeleteSecurityContext(&handle_);
    }
  }
  CtxtHandle* Handle() { return &handle_; }
  bool Made() const { return made_; }
  void MarkMade() { made_ = true; }

 private:
  CtxtHandle handle_{};
  bool made_ = false;
};

// Sends the token the package allocated, then frees it.
bool SendToken(const Connection& connection, SecBuffer& token) {
  const bool sent = token.cbBuffer == 0 ||
                    connection.SendAll(static_cast<const BYTE*>(token.pvBuffer), token.cbBuffer);
  if (token.pvBuffer != nullptr) {
    FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
  }
  return sent;
}

// Runs the handshake; pending holds the bytes received behind it.
bool Handshake(const Connection& connection, Credentials& credentials, Context& context,
               std::vector<BYTE>& pending) {
  const ULONG wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                       ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
  wchar_t target[] = L"localhost";
  for (bool first = true;; first = false) {
    SecBuffer input[2] = {{static_cast<ULONG>(pending.size()), SECBUFFER_TOKEN, pending.data()},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inputList{SECBUFFER_VERSION, 2, input};
    SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outputList{SECBUFFER_VERSION, 1, &output};
    ULONG granted = 0;
    const SECURITY_STATUS status = InitializeSecurityContextW(
        credentials.Handle(), first ? nullptr : context.Handle(), target, wanted, 0, 0,
        first ? nullptr : &inputList, 0, context.Handle(), &outputList, &granted, nullptr);
    if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) {
      context.MarkMade();
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (!connection.Receive(pending)) {
        return false;
      }
      continue;
    }
    if (!SendToken(connection, output)) {
      return false;
    }
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
      return false;
    }
    if (!first && input[1].BufferType == SECBUFFER_EXTRA) {
      pending.erase(pending.begin(), pending.end() - input[1].cbBuffer);
    } else {
      pending.clear();
    }
    if (status == SEC_E_OK) {
      return true;
    }
    if (pending.empty() && !connection.Receive(pending)) {
      return false;
    }
  }
}

bool SendEncrypted(const Connection& connection, Context& context, const std::string& request) {
  SecPkgContext_StreamSizes sizes{};
  if (QueryContextAttributesW(context.Handle(), SECPKG_ATTR_STREAM_SIZES, &sizes) != SEC_E_OK) {
    return false;
  }
  std::vector<BYTE> record(sizes.cbHeader + request.size() + sizes.cbTrailer);
  std::copy(request.begin(), request.end(), record.begin() + sizes.cbHeader);
  SecBuffer buffers[3] = {
      {sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
      {static_cast<ULONG>(request.size()), SECBUFFER_DATA, record.data() + sizes.cbHeader},
      {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + request.size()}};
  SecBufferDesc list{SECBUFFER_VERSION, 3, buffers};
  if (EncryptMessage(context.Handle(), 0, &list, 0) != SEC_E_OK) {
    return false;
  }
  return connection.SendAll(record.data(),
                            buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
}

// Decrypts records until the server closes; false when a record does not decrypt.
bool ReceiveDecrypted(const Connection& connection, Context& context, std::vector<BYTE>& pending,
                      std::string& reply) {
  for (;;) {
    if (pending.empty() && !connection.Receive(pending)) {
      return true;
    }
    SecBuffer buffers[4] = {{static_cast<ULONG>(pending.size()), SECBUFFER_DATA, pending.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc list{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(context.Handle(), &list, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (!connection.Receive(pending)) {
        return true;
      }
      continue;
    }
    if (status == SEC_I_CONTEXT_EXPIRED) {
      return true;  // the server's closure alert
    }
    if (status != SEC_E_OK) {
      return false;
    }
    std::vector<BYTE> extra;
    for (const SecBuffer& buffer : buffers) {
      const auto* bytes = static_cast<const BYTE*>(buffer.pvBuffer);
      if (buffer.BufferType == SECBUFFER_DATA) {
        reply.append(reinterpret_cast<const char*>(bytes), buffer.cbBuffer);
      } else if (buffer.BufferType == SECBUFFER_EXTRA) {
        extra.assign(bytes, bytes + buffer.cbBuffer);
      }
    }
    pending = std::move(extra);
  }
}

}  // namespace

TlsExchange ExchangeWithClientCertificate(unsigned short port, PCCERT_CONTEXT certificate,
                                          const std::string& request) {
  TlsExchange exchange;
  const Winsock winsock;
  const Connection connection(port);
  if (!winsock.Started() || !connection.Connected()) {
    exchange.failure = "no connection to port " + std::to_string(port);
    return exchange;
  }
  SCHANNEL_CRED settings{};
  settings.dwVersion = SCHANNEL_CRED_VERSION;
  settings.cCreds = 1;
  settings.paCred = &certificate;
  settings.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  Credentials credentials;
  wchar_t package[] = UNISP_NAME_W;
  if (AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &settings, nullptr,
                                nullptr, credentials.Handle(), nullptr) != SEC_E_OK) {
    exchange.failure = "the client certificate was refused as a credential";
    return exchange;
  }
  credentials.MarkAcquired();
  Context context;
  std::vector<BYTE> pending;
  if (!Handshake(connection, credentials, context, pending)) {
    exchange.failure = "the handshake failed";
  } else if (!SendEncrypted(connection, context, request)) {
    exchange.failure = "the request could not be sent";
  } else if (!ReceiveDecrypted(connection, context, pending, exchange.reply)) {
    exchange.failure = "a record of the reply did not decrypt";
  } else {
    exchange.completed = true;
  }
  return exchange;
}

}  // namespace digital_id::wine_test
