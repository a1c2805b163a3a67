#pragma once

#include <mutex>

#include "platform/cert_store.h"
#include "platform/lock.h"

namespace digital_id {

// The root that anchored the issuing server's chain in the latest handshake that verified it,
// as DER. The TLS sessions tell it; the publication reads it once an identity is installed, so
// that only a root the run authenticated can be trusted beyond the program's own stores. Safe to
// use from several threads.
class VerifiedServerAnchor {
 public:
  // Forgets the root: a handshake has begun.
  void Clear();
  // Keeps der as the root of the chain just verified.
  void Set(Bytes der);
  // The root kept; empty when none.
  Bytes Get() const;

 private:
  mutable Lock lock_;
  Bytes der_;
};

}  // namespace digital_id
