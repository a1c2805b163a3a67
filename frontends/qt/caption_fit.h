#pragma once

#include <QFont>
#include <QRect>

#include "platform/window_system.h"

class QWidget;

namespace digital_id {

// Whether a control's caption, drawn in font, lies whole within the room the control gives it:
// the text of a push button or radio button within the contents rectangle of the widget's style
// (a radio button's indicator comes first), the title of a group frame within its width. Other
// controls have no caption of their own and always fit.
bool CaptionFits(const QWidget& control, const QFont& font);

// The rectangle a painted caption's text covers when drawn in font, each line from the caption's
// x and the first from its y.
QRect PaintedCaptionRect(const Caption& caption, const QFont& font);

// Whether a painted caption, drawn in font, lies within the window and clear of every control.
bool PaintedCaptionFits(const QWidget& window, const Caption& caption, const QFont& font);

}  // namespace digital_id
