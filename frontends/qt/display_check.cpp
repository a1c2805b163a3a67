#include "frontends/qt/display_check.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/linux/system/file_descriptor.h"
#include "platform/linux/system/privileged_run.h"

namespace digital_id {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The X server of DISPLAY accepts a connection, with the authorisation Qt would use.
bool XServerAnswers() {
  if (Environment("DISPLAY").empty()) {
    return false;
  }
  const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
      xcb_connect(nullptr, nullptr), &xcb_disconnect);
  return connection != nullptr && xcb_connection_has_error(connection.get()) == 0;
}

// The Wayland compositor's socket named by WAYLAND_DISPLAY (an absolute path, or a name in
// XDG_RUNTIME_DIR) accepts a connection.
bool WaylandCompositorAnswers() {
  const std::string name = Environment("WAYLAND_DISPLAY");
  if (name.empty()) {
    return false;
  }
  std::string path = name;
  if (name.front() != '/') {
    const std::string runtimeFolder = Environment("XDG_RUNTIME_DIR");
    if (runtimeFolder.empty()) {
      return false;
    }
    path = runtimeFolder + "/" + name;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) {
    return false;
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  const FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return socket.Valid() &&
         ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

// The plugin name of one entry of QT_QPA_PLATFORM ("name" or "name:options"), in lower case as
// the plugins' keys are compared.
std::string PluginName(std::string_view entry) {
  std::string name(entry.substr(0, entry.find(':')));
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name;
}

// True for a platform that shows the window on this computer only. Others (a VNC server, a web
// page) would hand the window, and with it the computer's enrollment, to whoever connects, so
// a privileged run never starts them.
bool ShowsOnThisComputer(const std::string& name) {
  return name == "xcb" || name.starts_with("wayland") || name == "offscreen" || name == "minimal" ||
         name == "linuxfb" || name == "eglfs";
}

// Whether the platform of one entry of QT_QPA_PLATFORM can start.
bool PlatformStarts(std::string_view entry, const std::vector<std::string>& plugins) {
  const std::string name = PluginName(entry);
  if (name.empty() || std::find(plugins.begin(), plugins.end(), name) == plugins.end()) {
    return false;
  }
  if (RunningPrivileged() && !ShowsOnThisComputer(name)) {
    return false;
  }
  if (name == "xcb") {
    return XServerAnswers();
  }
  if (name.starts_with("wayland")) {
    return WaylandCompositorAnswers();
  }
  return true;
}

}  // namespace

PlatformChoice ChoosePlatform(const std::vector<std::string>& plugins) {
  const std::string requested = Environment("QT_QPA_PLATFORM");
  std::string usable;
  if (requested.empty()) {
    if (PlatformStarts("wayland", plugins)) {
      return {true, ""};
    }
  } else {
    // Qt tries the platforms of the list in turn; those that cannot start are left out.
    std::string_view rest = requested;
    while (!rest.empty()) {
      const std::size_t end = rest.find(';');
      const std::string_view entry = rest.substr(0, end);
      if (PlatformStarts(entry, plugins)) {
        usable += (usable.empty() ? "" : ";") + std::string(entry);
      }
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
  }
  if (!usable.empty()) {
    return {true, usable};
  }
  if (PlatformStarts("xcb", plugins)) {
    return {true, "xcb"};
  }
  return {};
}

}  // namespace digital_id
