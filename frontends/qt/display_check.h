#pragma once

#include <string>
#include <vector>

namespace digital_id {

// How Qt is to start, decided before it starts: Qt ends the process when the platform it picks
// cannot be loaded or finds no display server.
struct PlatformChoice {
  bool display = false;  // false: no platform can show the window
  std::string platform;  // the platform list to name to Qt; empty: Qt's own choice
};

// Chooses Qt's platform from the environment and the plugins installed (lower-case keys, see
// platform_plugins.h). A platform can start when its plugin is installed and, for "xcb", the X
// server of DISPLAY accepts a connection, for "wayland", the compositor of WAYLAND_DISPLAY; the
// others (offscreen, minimal, a framebuffer) need no display server. With QT_QPA_PLATFORM set,
// the platforms it lists (separated by ';') that can start are named, in its order. Without it,
// Qt chooses when Wayland can start; otherwise "xcb" is named, so that Qt never tries a Wayland
// whose plugin is missing or whose compositor does not answer. In both cases "xcb" is the
// fallback when nothing else can start, and no platform at all gives display false. A privileged
// run starts only platforms that show the window on this computer (never a VNC server).
PlatformChoice ChoosePlatform(const std::vector<std::string>& plugins);

}  // namespace digital_id
