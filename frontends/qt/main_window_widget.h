#pragma once

#include <QWidget>

namespace digital_id {

// The main window: a fixed-size top-level widget whose outer frame measures the window size of
// the layout table, that paints the two captions itself and reports its closing to the core.
class MainWindowWidget : public QWidget {
 public:
  MainWindowWidget();

 protected:
  // Paints the captions in the language the settings file names at this paint.
  void paintEvent(QPaintEvent* event) override;
  // Closing from the title bar: the core posts the quit message.
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  // Sizes the client area so that client plus the frame the platform reports is the window
  // size; without a frame (offscreen) the client area is the whole window size.
  void FitToFrame();
};

}  // namespace digital_id
