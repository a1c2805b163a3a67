#pragma once

#include <QColor>
#include <QLabel>

#include "platform/window_system.h"

namespace digital_id {

// A static text control: left-aligned, no word wrap, a line feed starts a new line. At every
// paint it asks the window's events for its colour (the status and detail lines follow the line
// colour of that moment, so a colour change shows at the next text change); without an answer it
// keeps the palette's text colour.
class LineLabel : public QLabel {
  Q_OBJECT

 public:
  // events may be null: the text then keeps the palette's colour.
  explicit LineLabel(WindowEvents* events, QWidget* parent = nullptr);

  // The colour the text was last drawn in (invalid before the first paint).
  QColor DrawnColour() const { return drawnColour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  WindowEvents* events_;
  QColor drawnColour_;
};

}  // namespace digital_id
