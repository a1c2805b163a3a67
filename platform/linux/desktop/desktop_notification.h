#pragma once

#include <string>

namespace digital_id {

// One notification as the desktop's notification service shows it; all texts UTF-8.
struct DesktopNotification {
  std::string appName;  // the program that speaks, as the service names it
  std::string icon;     // an icon name of the icon theme, or empty for none
  std::string summary;  // one short line
  std::string body;     // the text under it, plain (no markup)
};

// Shows notification through org.freedesktop.Notifications on the user's session bus, with no
// actions, no hints and the service's own display time. False when it cannot be shown: no
// session bus, no notification service, a refusal, or a privileged run, which has no desktop of
// its own and connects to no bus that the environment names.
bool ShowDesktopNotification(const DesktopNotification& notification);

}  // namespace digital_id
