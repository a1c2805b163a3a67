#pragma once

#include "platform/linux/x509/openssl_handles.h"

namespace digital_id {

// A connected socket as OpenSSL reads and writes it, with what the last transfers met.
struct SocketBioState {
  int descriptor = -1;
  bool peerClosed = false;  // a read found the connection closed by the peer
  bool failed = false;      // a read or write failed (the socket's time-out included)
};

// A BIO that reads the descriptor with recv and writes it with send, never raising SIGPIPE, and
// notes a close or a failure in state. state stays the caller's and must outlive the BIO; the
// descriptor is not closed with it. Null when OpenSSL cannot make one.
BioPtr NewSocketBio(SocketBioState& state);

}  // namespace digital_id
