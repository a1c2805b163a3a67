#include "platform/fake/fake_platform.h"

#include "shell/app_state.h"
#include "shell/main_window.h"

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
  // The fake window's creation message creates the controls, as a real window's does.
  windows.onCreate = [] { OnMainWindowCreate(); };
}

FakePlatform::~FakePlatform() {
  system.WaitForThreads();
  ResetAppState(nullptr);
}

void FakePlatform::Install() {
  ResetAppState(&platform);
}

}  // namespace digital_id::fake
