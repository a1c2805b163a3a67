#pragma once

#include <string>
#include <vector>

namespace digital_id {

// In a privileged run (see platform/linux/system/privileged_run.h), removes from the environment
// the settings through which the invoking user could make Qt, or the toolkit a theme plugin
// starts, load code from a place of their choosing: QT_PLUGIN_PATH, QT_QPA_PLATFORM_PLUGIN_PATH,
// QT_QPA_PLATFORMTHEME, QT_QPA_GENERIC_PLUGINS and the GTK and GIO module paths. Qt then loads
// plugins from its own folder only. Called before Qt starts, while the process has one thread.
void DropUntrustedPluginSettings();

// The keys ("xcb", "wayland", "offscreen", ...) of the platform plugins that Qt would find, in
// lower case: in QT_QPA_PLATFORM_PLUGIN_PATH, and in the "platforms" folder of each
// QT_PLUGIN_PATH entry and of Qt's plugins folder. Read from each plugin's metadata without
// loading it; a plugin built for another Qt than this one's is left out, as Qt leaves it.
std::vector<std::string> InstalledPlatformPlugins();

}  // namespace digital_id
