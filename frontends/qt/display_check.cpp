#include "frontends/qt/display_check.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/linux/system/file_descriptor.h"

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

// Whether one entry of QT_QPA_PLATFORM ("name" or "name:options") can start.
bool PlatformStarts(std::string_view entry) {
  const std::string_view name = entry.substr(0, entry.find(':'));
  if (name == "xcb") {
    return XServerAnswers();
  }
  if (name.starts_with("wayland")) {
    return WaylandCompositorAnswers();
  }
  return !name.empty();
}

}  // namespace

bool DisplayAvailable() {
  const std::string platforms = Environment("QT_QPA_PLATFORM");
  if (platforms.empty()) {
    return XServerAnswers() || WaylandCompositorAnswers();
  }
  // Qt tries the platforms of a list separated by ';' in turn.
  std::string_view rest = platforms;
  while (true) {
    const std::size_t end = rest.find(';');
    if (PlatformStarts(rest.substr(0, end))) {
      return true;
    }
    if (end == std::string_view::npos) {
      return false;
    }
    rest.remove_prefix(end + 1);
  }
}

}  // namespace digital_id
