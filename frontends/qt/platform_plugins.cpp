#include "frontends/qt/platform_plugins.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <QStringList>
#include <QVersionNumber>
#include <algorithm>

namespace digital_id {

namespace {

// The interface that every platform plugin of Qt 6 declares.
constexpr const char* kPlatformInterface =
    "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3";

// The folders that Qt searches for platform plugins, in its order.
QStringList PlatformFolders() {
  QStringList folders;
  const QString direct = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
  if (!direct.isEmpty()) {
    folders << direct;
  }
  for (const QString& entry :
       qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
    folders << entry + QStringLiteral("/platforms");
  }
  folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
  return folders;
}

// True when a plugin built against the Qt version packed as 0xMMmmpp can be loaded by this Qt:
// the same major version, and a minor version no newer.
bool FitsThisQt(int version) {
  const QVersionNumber running = QLibraryInfo::version();
  return (version >> 16) == running.majorVersion() &&
         ((version >> 8) & 0xff) <= running.minorVersion();
}

}  // namespace

std::vector<std::string> InstalledPlatformPlugins() {
  std::vector<std::string> keys;
  for (const QString& folder : PlatformFolders()) {
    const QDir directory(folder);
    for (const QString& file : directory.entryList(QDir::Files | QDir::Readable)) {
      // Only reads the file's metadata; nothing of the plugin runs.
      const QJsonObject metadata = QPluginLoader(directory.filePath(file)).metaData();
      if (metadata.value(QStringLiteral("IID")).toString() != QLatin1String(kPlatformInterface) ||
          !FitsThisQt(metadata.value(QStringLiteral("version")).toInt())) {
        continue;
      }
      const QJsonArray pluginKeys = metadata.value(QStringLiteral("MetaData"))
                                        .toObject()
                                        .value(QStringLiteral("Keys"))
                                        .toArray();
      for (const QJsonValue& key : pluginKeys) {
        const std::string name = key.toString().toLower().toStdString();
        if (!name.empty() && std::find(keys.begin(), keys.end(), name) == keys.end()) {
          keys.push_back(name);
        }
      }
    }
  }
  return keys;
}

}  // namespace digital_id
