// Code that another user left in a plugin folder: a library that declares itself Qt's platform
// plugin "attack" and, as soon as it is loaded, creates the file named by ATTACK_PLUGIN_MARKER.
// A privileged installer must never load it.
#include <QObject>
#include <cstdio>
#include <cstdlib>

namespace {

struct LoadMarker {
  LoadMarker() {
    if (const char* marker = std::getenv("ATTACK_PLUGIN_MARKER")) {
      if (std::FILE* file = std::fopen(marker, "w")) std::fclose(file);
    }
  }
};

const LoadMarker kMarkOnLoad;

}  // namespace

// The metadata that makes Qt take the library for a platform plugin.
class AttackPlatformPlugin : public QObject {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE
                        "attack_platform_plugin.json")
};

#include "attack_platform_plugin.moc"
