#pragma once

#include <string>

#include "platform/cert_store.h"

namespace digital_id {

// Told by the stores and the enrollment objects when something other programs should see has
// been installed. Called on the thread that installed it, after the install succeeded; whatever
// happens inside never changes the install's own result.
class PublicationHooks {
 public:
  virtual ~PublicationHooks() = default;

  // An issued certificate and its key were installed in My at the location.
  virtual void IdentityInstalled(StoreLocation location) = 0;
  // A certificate was added to the anchor store (folder name "CA" or "Root") at the location.
  virtual void AnchorAdded(StoreLocation location, const std::string& store,
                           const Certificate& certificate) = 0;
};

}  // namespace digital_id
