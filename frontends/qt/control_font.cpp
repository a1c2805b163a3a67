#include "frontends/qt/control_font.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>

namespace digital_id {

QFont ControlFont(int height) {
  QFont font(QApplication::font());
  // Where the face is missing, a sans-serif face of similar width comes before fontconfig's
  // general fallback, so that the labels fit their Win32-sized controls.
  font.setFamilies({QStringLiteral("Trebuchet MS"), QStringLiteral("Liberation Sans")});
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  if (height <= 0) {
    return font;
  }
  // Start from the height as em size and shrink until ascent plus descent fit in it.
  for (int pixels = height; pixels > 1; --pixels) {
    font.setPixelSize(pixels);
    if (QFontMetrics(font).height() <= height) {
      break;
    }
  }
  return font;
}

}  // namespace digital_id
