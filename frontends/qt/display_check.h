#pragma once

namespace digital_id {

// Whether Qt can start a platform to show the window on. With QT_QPA_PLATFORM set, one of the
// platforms it lists must start: "xcb" needs the X server of DISPLAY to accept a connection,
// "wayland" the compositor of WAYLAND_DISPLAY; the others (offscreen, minimal, a framebuffer)
// need no display server. Without it, the X server or the Wayland compositor must accept one.
// Qt ends the process when no platform starts, so this is asked before Qt is started.
bool DisplayAvailable();

}  // namespace digital_id
