#pragma once

// What every backend's TLS session does alike, as one suite that each backend instantiates with
// a backend of its own: a good chain is accepted for its name, an untrusted chain is refused, and
// so is a good chain for a wrong or empty target name.

#include <string>

#include "platform/cert_store.h"
#include "platform/sockets.h"
#include "platform/tls_session.h"
#include "tests/contracts/backend_suite.h"

namespace digital_id::contracts {

// The servers the suite talks to.
enum class TlsServerKind {
  Good,       // a chain that ends in a root the backend trusts
  Untrusted,  // a self-signed certificate the backend does not trust
};

// What one backend gives the suite: sessions, and servers to connect them to.
class TlsSessionBackend {
 public:
  virtual ~TlsSessionBackend() = default;
  // A new session of the engine under test.
  virtual std::unique_ptr<TlsSession> NewSession() = 0;
  // A socket connected to a server of that kind, ready for the client's handshake; it stays the
  // backend's (closed with the next connection or the backend).
  virtual SocketHandle Connect(TlsServerKind kind) = 0;
  // Told after each handshake whether the client accepted the server; the backend may check that
  // its server saw the same.
  virtual void HandshakeEnded(bool accepted) = 0;
  // The name the good server's certificate carries.
  virtual std::u16string ServerName() = 0;
  // The encoded subject of the CA that issued the good server's certificate.
  virtual Bytes IssuingCaName() = 0;
};

// Makes a fresh backend for each test.
using TlsSessionBackendFactory = BackendFactory<TlsSessionBackend>;

// The suite: INSTANTIATE_TEST_SUITE_P(Backend, TlsSessionContract, ::testing::Values(factory)).
class TlsSessionContract : public BackendSuite<TlsSessionBackend> {};

}  // namespace digital_id::contracts
