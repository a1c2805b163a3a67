#include "frontends/qt/control_font.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>

namespace digital_id {

namespace {

// Below this no text is readable; a caption that fits nowhere is drawn at it.
constexpr int kSmallestPixels = 6;

}  // namespace

QFont ControlFont(int height) {
  QFont font(QApplication::font());
  font.setFamilies({QStringLiteral("Trebuchet MS"), QStringLiteral("Liberation Sans Narrow")});
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

QFont LargestFittingFont(QFont font, const std::function<bool(const QFont&)>& fits) {
  if (fits(font)) {
    return font;
  }
  for (int pixels = QFontInfo(font).pixelSize() - 1; pixels >= kSmallestPixels; --pixels) {
    font.setPixelSize(pixels);
    if (fits(font)) {
      return font;
    }
  }
  return font;
}

}  // namespace digital_id
