#pragma once

#include "platform/cert_store.h"
#include "platform/linux/stores/issued_identity.h"

namespace digital_id {

// The one trigger of publication: told by the enrollment objects when an identity other programs
// should see has been installed. Called on the thread that installed it, after the install
// succeeded; whatever happens inside never changes the install's own result. Anchors that the
// run merely downloaded are never told: trust beyond the program's own stores follows only an
// issued identity.
class PublicationHooks {
 public:
  virtual ~PublicationHooks() = default;

  // An issued certificate and its key were installed in My at the location: installed holds that
  // entry's name, certificate and key, and no chain yet.
  virtual void IdentityInstalled(StoreLocation location, IssuedIdentity installed) = 0;
};

}  // namespace digital_id
