#pragma once

#include "platform/tls_engine.h"

namespace digital_id::fake {

// TLS engine that cannot be started; the secure-channel tests replace this with a scripted one.
class FakeTlsEngine : public TlsEngine {
 public:
  SecurityInterface* InitSecurityInterface() override { return nullptr; }
};

}  // namespace digital_id::fake
