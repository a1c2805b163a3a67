// digital-id-make-icons: writes the program's icon as PNG files for the desktop's icon theme,
// FOLDER/<size>x<size>/digital-id-installer.png for each size given after the folder.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "frontends/qt/app_icon.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: digital-id-make-icons FOLDER SIZE...\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const int size = QString::fromLatin1(argv[i]).toInt();
    const QString sizeFolder = folder + QStringLiteral("/%1x%1").arg(size);
    if (size <= 0 || !QDir().mkpath(sizeFolder) ||
        !digital_id::DrawAppIcon(size).save(sizeFolder +
                                            QStringLiteral("/digital-id-installer.png"))) {
      std::fprintf(stderr, "digital-id-make-icons: cannot write the %s icon\n", argv[i]);
      return 1;
    }
  }
  return 0;
}
