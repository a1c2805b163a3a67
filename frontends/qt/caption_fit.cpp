#include "frontends/qt/caption_fit.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <limits>

#include "frontends/qt/group_frame.h"

namespace digital_id {

namespace {

// Whether text in font fits the contents rectangle the style gives a button of this element.
bool ButtonTextFits(const QAbstractButton& button, QStyle::SubElement contents, const QFont& font) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.fontMetrics = QFontMetrics(font);
  option.text = button.text();
  const QRect room = button.style()->subElementRect(contents, &option, &button);
  const QSize needed = option.fontMetrics.size(Qt::TextShowMnemonic, option.text);
  return needed.width() <= room.width() && needed.height() <= room.height();
}

}  // namespace

bool CaptionFits(const QWidget& control, const QFont& font) {
  if (const auto* radio = qobject_cast<const QRadioButton*>(&control)) {
    return ButtonTextFits(*radio, QStyle::SE_RadioButtonContents, font);
  }
  if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
    return ButtonTextFits(*button, QStyle::SE_PushButtonContents, font);
  }
  if (const auto* group = qobject_cast<const GroupFrame*>(&control)) {
    const QRect room =
        group->rect().adjusted(GroupFrame::kTitleInset, 0, -GroupFrame::kTitleInset, 0);
    return room.contains(group->TitleRect(font));
  }
  return true;
}

QRect PaintedCaptionRect(const Caption& caption, const QFont& font) {
  const int unbounded = std::numeric_limits<int>::max() / 4;
  return QFontMetrics(font).boundingRect(QRect(caption.x, caption.y, unbounded, unbounded),
                                         Qt::AlignLeft | Qt::AlignTop,
                                         QString::fromStdU16String(caption.text));
}

bool PaintedCaptionFits(const QWidget& window, const Caption& caption, const QFont& font) {
  const QRect covered = PaintedCaptionRect(caption, font);
  if (!window.rect().contains(covered)) {
    return false;
  }
  for (const QWidget* control : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (control->isVisibleTo(&window) && control->geometry().intersects(covered)) {
      return false;
    }
  }
  return true;
}

}  // namespace digital_id
