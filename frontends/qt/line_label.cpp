#include "frontends/qt/line_label.h"

#include <QPainter>
#include <optional>

namespace digital_id {

LineLabel::LineLabel(WindowEvents* events, QWidget* parent) : QLabel(parent), events_(events) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void LineLabel::paintEvent(QPaintEvent* /*event*/) {
  const std::optional<Rgb> colour =
      events_ != nullptr ? events_->TextColour(static_cast<QWidget*>(this)) : std::nullopt;
  drawnColour_ = colour ? QColor(colour->red, colour->green, colour->blue)
                        : palette().color(QPalette::WindowText);
  QPainter painter(this);
  painter.setPen(drawnColour_);
  painter.setFont(font());
  painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, text());
}

}  // namespace digital_id
