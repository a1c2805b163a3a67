#include "platform/fake/fake_platform.h"

namespace digital_id::fake {

FakePlatform::FakePlatform() {
  platform.system = &system;
  platform.profile = &profile;
  platform.windows = &windows;
  platform.certificates = &certificates;
  platform.downloads = &downloads;
  platform.tls = &tls;
  platform.sockets = &sockets;
  platform.enrollment = &enrollment;
}

FakePlatform::~FakePlatform() {
  system.WaitForThreads();
  InstallPlatform(nullptr);
}

void FakePlatform::Install() {
  InstallPlatform(&platform);
}

}  // namespace digital_id::fake
