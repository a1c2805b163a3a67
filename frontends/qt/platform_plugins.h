#pragma once

#include <string>
#include <vector>

namespace digital_id {

// The keys ("xcb", "wayland", "offscreen", ...) of the platform plugins that Qt would find, in
// lower case: in QT_QPA_PLATFORM_PLUGIN_PATH, and in the "platforms" folder of each
// QT_PLUGIN_PATH entry and of Qt's plugins folder. Read from each plugin's metadata without
// loading it; a plugin built for another Qt than this one's is left out, as Qt leaves it.
std::vector<std::string> InstalledPlatformPlugins();

}  // namespace digital_id
