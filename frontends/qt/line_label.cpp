#include "shell/line_label_qt.h"

#include <QPainter>

#include "shell/app_state.h"
#include "shell/main_window.h"

namespace digital_id {

QColor ColourFromColourRef(std::uint32_t colourRef) {
  return QColor(static_cast<int>(colourRef & 0xFF), static_cast<int>((colourRef >> 8) & 0xFF),
                static_cast<int>((colourRef >> 16) & 0xFF));
}

LineLabel::LineLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void LineLabel::paintEvent(QPaintEvent* /*event*/) {
  drawnColour_ = IsColouredLine(static_cast<QWidget*>(this))
                     ? ColourFromColourRef(App().lineColour.load())
                     : palette().color(QPalette::WindowText);
  QPainter painter(this);
  painter.setPen(drawnColour_);
  painter.setFont(font());
  painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, text());
}

}  // namespace digital_id
