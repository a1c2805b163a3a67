#pragma once

#include "platform/cert_store.h"

namespace digital_id {

// Told by the enrollment objects when an identity other programs should see has been installed.
// Called on the thread that installed it, after the install succeeded; whatever happens inside
// never changes the install's own result. Anchors that the run merely downloaded are never told:
// trust beyond the program's own stores follows only an issued identity.
class PublicationHooks {
 public:
  virtual ~PublicationHooks() = default;

  // An issued certificate and its key were installed in My at the location.
  virtual void IdentityInstalled(StoreLocation location) = 0;
};

}  // namespace digital_id
