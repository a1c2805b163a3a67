#pragma once

#include <QGroupBox>

namespace digital_id {

// A group box drawn as a Win32 group box is: an etched frame whose top line runs through the middle
// of the title, the title a little in from the left edge. The controls of the group stand inside
// the frame below the title; the layout places them there, so the style's own title row (which
// would push the frame down below the title) is not used.
class GroupFrame : public QGroupBox {
  Q_OBJECT

 public:
  explicit GroupFrame(const QString& title, QWidget* parent = nullptr);

  // Where the title is drawn in font: kTitleInset from the left edge, as wide as the text plus a
  // gap on either side, as high as the font's cell, at the top.
  QRect TitleRect(const QFont& font) const;
  // The title's place in the widget's own font.
  QRect TitleRect() const { return TitleRect(font()); }
  // The etched frame: the whole width, from the middle of the title row to the bottom.
  QRect FrameRect() const;

  // Distance of the title from the left edge, and the least distance from the right edge.
  static constexpr int kTitleInset = 8;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace digital_id
