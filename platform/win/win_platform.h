#pragma once

#include "platform/platform.h"
#include "platform/win/download/url_moniker_download_engine.h"
#include "platform/win/enrollment/win_enrollment_objects.h"
#include "platform/win/stores/cryptoapi_cert_services.h"
#include "platform/win/system/win_profile.h"
#include "platform/win/system/win_system.h"
#include "platform/win/system/winsock_sockets.h"
#include "platform/win/tls/schannel_tls_engine.h"

namespace digital_id {

// Every Windows service of the core, over the window system a front end supplies (the Win32
// window or the console).
class WinPlatform {
 public:
  explicit WinPlatform(WindowSystem& windows);
  WinPlatform(const WinPlatform&) = delete;
  WinPlatform& operator=(const WinPlatform&) = delete;

  // The aggregate to install in AppState; valid as long as this object lives.
  Platform& Services() { return platform_; }

 private:
  WinSystem system_;
  WinProfile profile_;
  CryptoApiCertServices certificates_;
  UrlMonikerDownloadEngine downloads_;
  WinsockSockets sockets_;
  SchannelTlsEngine tls_{sockets_};
  WinEnrollmentObjects enrollment_;
  Platform platform_;
};

}  // namespace digital_id
