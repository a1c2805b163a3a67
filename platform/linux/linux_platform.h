#pragma once

#include <vector>

#include "platform/linux/download/curl_download_engine.h"
#include "platform/linux/enrollment/openssl_enrollment_objects.h"
#include "platform/linux/publish/identity_publisher.h"
#include "platform/linux/stores/file_cert_services.h"
#include "platform/linux/system/ini_profile.h"
#include "platform/linux/system/linux_system.h"
#include "platform/linux/system/posix_sockets.h"
#include "platform/linux/tls/openssl_tls_engine.h"
#include "platform/platform.h"

namespace digital_id {

// Every Linux service of the core, over the window system a front end supplies. The TLS engine
// trusts the system's roots plus the Root stores of both locations, read anew per connection, and
// keeps the root of the chain it verified. Installed identities, and the one root that anchors
// both the server and the identity, are published for other programs (see IdentityPublisher); a
// front end may show what was published through Publications.
class LinuxPlatform {
 public:
  explicit LinuxPlatform(WindowSystem& windows);
  LinuxPlatform(const LinuxPlatform&) = delete;
  LinuxPlatform& operator=(const LinuxPlatform&) = delete;

  // The aggregate to install in AppState; valid as long as this object lives.
  Platform& Services() { return platform_; }
  // What the publication of identities installed through these services came to so far, one
  // result per target, oldest first (the publication log holds them too).
  std::vector<PublicationResult> Publications() const { return publisher_.Report().Results(); }

 private:
  VerifiedServerAnchor serverAnchor_;
  IdentityPublisher publisher_;
  LinuxSystem system_;
  IniProfile profile_;
  FileCertServices certificates_;
  CurlDownloadEngine downloads_;
  OpenSslTlsEngine tls_;
  PosixSockets sockets_;
  OpenSslEnrollmentObjects enrollment_;
  Platform platform_;
};

}  // namespace digital_id
