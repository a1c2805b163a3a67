#include "platform/linux/linux_platform.h"

namespace digital_id {

LinuxPlatform::LinuxPlatform(WindowSystem& windows)
    : publisher_(serverAnchor_),
      tls_([] { return TrustedRootsFromStores(); }, &serverAnchor_),
      enrollment_(certificates_, &publisher_) {
  platform_.system = &system_;
  platform_.profile = &profile_;
  platform_.windows = &windows;
  platform_.certificates = &certificates_;
  platform_.downloads = &downloads_;
  platform_.tls = &tls_;
  platform_.sockets = &sockets_;
  platform_.enrollment = &enrollment_;
}

}  // namespace digital_id
