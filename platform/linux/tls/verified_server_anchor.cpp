#include "platform/linux/tls/verified_server_anchor.h"
#include "platform/lock.h"

#include <mutex>
#include <utility>

namespace digital_id {

void VerifiedServerAnchor::Clear() {
  const std::lock_guard<Lock> guard(lock_);
  der_.clear();
}

void VerifiedServerAnchor::Set(Bytes der) {
  const std::lock_guard<Lock> guard(lock_);
  der_ = std::move(der);
}

Bytes VerifiedServerAnchor::Get() const {
  const std::lock_guard<Lock> guard(lock_);
  return der_;
}

}  // namespace digital_id
