#include "shell/main_window_qt.h"

#include <QCloseEvent>
#include <QPainter>
#include <QWindow>

#include "shell/control_font_qt.h"
#include "shell/main_window.h"
#include "shell/main_window_layout.h"

namespace digital_id {

MainWindowWidget::MainWindowWidget() {
  // Caption, system menu, minimise and close; no maximise and no resizing.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  FitToFrame();
}

void MainWindowWidget::FitToFrame() {
  QMargins frame;
  if (const QWindow* handle = windowHandle()) {
    frame = handle->frameMargins();
  }
  const QSize client(kMainWindowWidth - frame.left() - frame.right(),
                     kMainWindowHeight - frame.top() - frame.bottom());
  if (minimumSize() != client || maximumSize() != client) {
    setFixedSize(client);
  }
}

void MainWindowWidget::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  for (const Caption& caption : CaptionsToPaint()) {
    painter.setFont(ControlFont(caption.fontHeight));
    // Each line of a caption starts again at the caption's x.
    painter.drawText(QRect(caption.x, caption.y, width(), height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     QString::fromStdU16String(caption.text));
  }
}

void MainWindowWidget::closeEvent(QCloseEvent* event) {
  event->accept();
  OnMainWindowDestroy();
}

void MainWindowWidget::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FitToFrame();
}

void MainWindowWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // A window manager reports its decoration once the window is placed.
  FitToFrame();
}

}  // namespace digital_id
