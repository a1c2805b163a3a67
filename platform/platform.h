#pragma once

#include "platform/cert_store.h"
#include "platform/download.h"
#include "platform/enrollment_objects.h"
#include "platform/profile.h"
#include "platform/sockets.h"
#include "platform/system.h"
#include "platform/tls_session.h"
#include "platform/window_system.h"

namespace digital_id {

// Every platform service the core uses, installed in AppState at start-up. The services are
// owned by the backend that filled the aggregate and outlive every thread of the core.
struct Platform {
  System* system = nullptr;
  Profile* profile = nullptr;
  WindowSystem* windows = nullptr;
  CertServices* certificates = nullptr;
  DownloadEngine* downloads = nullptr;
  TlsEngine* tls = nullptr;
  Sockets* sockets = nullptr;
  EnrollmentObjects* enrollment = nullptr;
};

// Makes platform the services the core runs over and puts the core's process-wide state back to
// its start; null leaves the core without services. The core defines it; a program's entry point
// and every test call it before any thread of the core runs.
void InstallPlatform(Platform* platform);

}  // namespace digital_id
