#pragma once

#include <QWidget>

#include "platform/window_system.h"

namespace digital_id {

// The main window: a fixed-size top-level widget whose outer frame measures the size the core
// describes, that paints the captions the events give at each paint and reports its closing to
// them.
class MainWindowWidget : public QWidget {
 public:
  // events must outlive the widget.
  MainWindowWidget(const MainWindowDescription& window, WindowEvents& events);

  // The font a caption is painted in: its "Trebuchet MS" font, made smaller where the text would
  // otherwise run past the window's edges or under a control.
  QFont CaptionFont(const Caption& caption) const;

 protected:
  // Paints the captions the events give for this paint.
  void paintEvent(QPaintEvent* event) override;
  // Closing from the title bar: the events hear of it.
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  // Sizes the client area so that client plus the frame the platform reports is the window
  // size; without a frame (offscreen) the client area is the whole window size.
  void FitToFrame();

  QSize outerSize_;
  WindowEvents& events_;
};

}  // namespace digital_id
