#pragma once

#include <QColor>
#include <QLabel>
#include <cstdint>

namespace digital_id {

// A colour reference (0x00BBGGRR) as a Qt colour.
QColor ColourFromColourRef(std::uint32_t colourRef);

// A static text control: left-aligned, no word wrap, a line feed starts a new line. The status
// line and the detail line are drawn in AppState.lineColour, read at every paint, so a colour
// change shows at the next text change; any other text keeps the palette's text colour.
class LineLabel : public QLabel {
  Q_OBJECT

 public:
  explicit LineLabel(QWidget* parent = nullptr);

  // The colour the text was last drawn in (invalid before the first paint).
  QColor DrawnColour() const { return drawnColour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor drawnColour_;
};

}  // namespace digital_id
