#pragma once

#include "platform/fake/fake_cert_services.h"
#include "platform/fake/fake_download_engine.h"
#include "platform/fake/fake_enrollment_objects.h"
#include "platform/fake/fake_profile.h"
#include "platform/fake/fake_sockets.h"
#include "platform/fake/fake_system.h"
#include "platform/fake/fake_tls_session.h"
#include "platform/fake/fake_window_system.h"
#include "platform/platform.h"

namespace digital_id::fake {

// Every fake service, with the Platform aggregate over them. Install() makes them the services
// the core runs over (from its start state); the destructor joins any real thread the fakes
// started and leaves the core without services.
struct FakePlatform {
  FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;
  ~FakePlatform();

  // Installs this platform in the core (InstallPlatform).
  void Install();

  FakeSystem system;
  FakeProfile profile;
  FakeWindowSystem windows;
  FakeCertServices certificates;
  FakeDownloadEngine downloads;
  FakeTlsEngine tls;
  FakeSockets sockets;
  FakeEnrollmentObjects enrollment;
  Platform platform;
};

}  // namespace digital_id::fake
