#include "frontends/qt/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace digital_id {

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // Everything is laid out on a 48-unit grid and scaled.
  painter.scale(size / 48.0, size / 48.0);

  const QRectF card(2, 8, 44, 32);
  painter.setPen(QPen(QColor(20, 60, 120), 1.5));
  painter.setBrush(QColor(230, 240, 252));
  painter.drawRoundedRect(card, 4, 4);
  // Header band.
  QPainterPath band;
  band.addRoundedRect(card, 4, 4);
  painter.setClipPath(band);
  painter.fillRect(QRectF(2, 8, 44, 7), QColor(40, 90, 170));
  painter.setClipping(false);

  // Portrait: head and shoulders.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(60, 100, 160));
  painter.drawEllipse(QRectF(8, 18, 10, 10));
  painter.drawChord(QRectF(5, 27, 16, 14), 0, 180 * 16);

  // Lines of text.
  painter.setBrush(QColor(120, 140, 170));
  for (int line = 0; line < 3; ++line) {
    const double width = line == 2 ? 12 : 18;
    painter.drawRoundedRect(QRectF(24, 20 + line * 6, width, 3), 1.5, 1.5);
  }
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 256}) {
    icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  }
  return icon;
}

}  // namespace digital_id
