#include "platform/linux/desktop/desktop_notification.h"

#include <cstdint>

#include "platform/linux/desktop/sd_bus_handles.h"
#include "platform/linux/system/privileged_run.h"

namespace digital_id {
namespace {

// How long the notification service may take to answer: a login is not held up longer.
constexpr std::uint64_t kCallTimeoutMicroseconds = 10'000'000;

}  // namespace

bool ShowDesktopNotification(const DesktopNotification& notification) {
  // A privileged run would take the bus address from an environment that another user may
  // have set, and root has no desktop of the user to speak on anyway.
  if (RunningPrivileged()) {
    return false;
  }
  sd_bus* opened = nullptr;
  if (sd_bus_open_user(&opened) < 0) {
    return false;  // no session bus: nobody to show it
  }
  const SdBusPtr bus(opened);
  sd_bus_set_method_call_timeout(bus.get(), kCallTimeoutMicroseconds);
  SdBusError error;
  sd_bus_message* answered = nullptr;
  // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout):
  // a new notification (replaces nothing), no actions, no hints, the service's own timeout.
  const int called = sd_bus_call_method(
      bus.get(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
      "org.freedesktop.Notifications", "Notify", error.Get(), &answered, "susssasa{sv}i",
      notification.appName.c_str(), std::uint32_t{0}, notification.icon.c_str(),
      notification.summary.c_str(), notification.body.c_str(), 0u, 0u, std::int32_t{-1});
  const SdBusMessagePtr reply(answered);
  return called >= 0;
}

}  // namespace digital_id
