#include "frontends/qt/group_frame.h"

#include <qdrawutil.h>
#include <QFontMetrics>
#include <QPainter>

namespace digital_id {

namespace {

// Blank space on either side of the title, where the frame line stops.
constexpr int kTitleGap = 2;

}  // namespace

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

QRect GroupFrame::TitleRect(const QFont& font) const {
  const QFontMetrics metrics(font);
  return {kTitleInset, 0, metrics.horizontalAdvance(title()) + 2 * kTitleGap, metrics.height()};
}

QRect GroupFrame::FrameRect() const {
  const int top = TitleRect().height() / 2;
  return {0, top, width(), height() - top};
}

void GroupFrame::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect title = TitleRect();
  // The frame line stops on either side of the title.
  painter.setClipRegion(QRegion(rect()).subtracted(QRegion(title)));
  qDrawShadeRect(&painter, FrameRect(), palette(), /*sunken=*/true, /*lineWidth=*/1);
  painter.setClipping(false);
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.setFont(font());
  painter.drawText(title, Qt::AlignCenter | Qt::TextShowMnemonic, this->title());
}

}  // namespace digital_id
