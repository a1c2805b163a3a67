#include "frontends/qt/main_window_widget.h"

#include <QCloseEvent>
#include <QPainter>
#include <QWindow>

#include "frontends/qt/caption_fit.h"
#include "frontends/qt/control_font.h"

namespace digital_id {

MainWindowWidget::MainWindowWidget(const MainWindowDescription& window, WindowEvents& events)
    : outerSize_(window.width, window.height), events_(events) {
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
  const QSize client(outerSize_.width() - frame.left() - frame.right(),
                     outerSize_.height() - frame.top() - frame.bottom());
  if (minimumSize() != client || maximumSize() != client) {
    setFixedSize(client);
  }
}

QFont MainWindowWidget::CaptionFont(const Caption& caption) const {
  return LargestFittingFont(ControlFont(caption.fontHeight), [this, &caption](const QFont& font) {
    return PaintedCaptionFits(*this, caption, font);
  });
}

void MainWindowWidget::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  for (const Caption& caption : events_.Captions()) {
    painter.setFont(CaptionFont(caption));
    // Each line of a caption starts again at the caption's x.
    painter.drawText(QRect(caption.x, caption.y, width(), height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     QString::fromStdU16String(caption.text));
  }
}

void MainWindowWidget::closeEvent(QCloseEvent* event) {
  event->accept();
  events_.OnClosed();
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
