// digital-id-window-demo: one enrollment through the installer's window, without a person.
// Started in a folder holding app.ini, it opens the window as the installer does, puts the code
// on the clipboard, presses Paste and Submit, waits for the run to end, saves a picture of the
// window and prints the two lines. Exits 0 when the certificate was installed (green lines).
// With DIGITAL_ID_BENCH_FIRST_PAINT=1 (for the benchmark) it takes no arguments: it prints
// "first-paint" as soon as the window is first painted, ends the program as the window's Close
// would, and prints the peak resident memory as "peak-kib N".
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "core/shell/app_state.h"
#include "core/shell/startup.h"
#include "frontends/qt/qt_window_system.h"
#include "platform/linux/linux_platform.h"

namespace {

using namespace digital_id;

// Bound of one run; the client itself pauses five seconds.
constexpr qint64 kRunBoundMs = 120'000;

QString TextOf(WindowHandle line) {
  const auto* label = qobject_cast<const QLabel*>(static_cast<QWidget*>(line));
  return label != nullptr ? label->text() : QString();
}

bool IsEnabled(WindowHandle control) {
  return static_cast<QWidget*>(control)->isEnabled();
}

void Click(WindowHandle button) {
  qobject_cast<QPushButton*>(static_cast<QWidget*>(button))->click();
}

// Notices the first paint event of any widget, prints "first-paint" and ends the program.
class FirstPaintProbe : public QObject {
 public:
  explicit FirstPaintProbe(QtWindowSystem& windows) : windows_(windows) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType()) {
      seen_ = true;
      std::printf("first-paint\n");
      std::fflush(stdout);
      QTimer::singleShot(0, [this] { windows_.PostQuit(0); });
    }
    return false;
  }

 private:
  QtWindowSystem& windows_;
  bool seen_ = false;
};

// The peak resident memory of this process in KiB (VmHWM); 0 when unknown.
long PeakResidentKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

// The benchmark's run: the window up to its first paint, then out.
int RunToFirstPaint(int argc, char** argv) {
  QApplication application(argc, argv);
  QtWindowSystem windows;
  LinuxPlatform platform(windows);
  InstallPlatform(&platform.Services());
  FirstPaintProbe probe(windows);
  application.installEventFilter(&probe);
  RunInstaller(nullptr, 1);
  std::printf("peak-kib %ld\n", PeakResidentKib());
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* bench = std::getenv("DIGITAL_ID_BENCH_FIRST_PAINT");
      bench != nullptr && std::strcmp(bench, "1") == 0) {
    return RunToFirstPaint(argc, argv);
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: digital-id-window-demo CODE PICTURE.png\n");
    return 2;
  }
  const QString code = QString::fromLocal8Bit(argv[1]);
  const QString picture = QString::fromLocal8Bit(argv[2]);
  int qtArgumentCount = 1;
  QApplication application(qtArgumentCount, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  QtWindowSystem windows;
  LinuxPlatform platform(windows);
  InstallPlatform(&platform.Services());

  QElapsedTimer elapsed;
  QTimer poll;
  bool installed = false;
  bool finished = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    const AppState& app = App();
    const bool ended = IsEnabled(app.submitButton) && IsEnabled(app.closeButton);
    if (!ended && elapsed.elapsed() < kRunBoundMs) return;
    poll.stop();
    finished = ended;
    installed = ended && app.lineColour.load() == kColourGreen;
    windows.Window()->grab().save(picture);
    windows.PostQuit(0);
  });
  QTimer::singleShot(0, [&] {
    QGuiApplication::clipboard()->setText(code);
    Click(App().pasteButton);
    Click(App().submitButton);
    elapsed.start();
    poll.start(100);
  });
  RunInstaller(nullptr, 1);

  std::printf("status: %s\n", TextOf(App().statusLine).toStdString().c_str());
  std::printf("detail: %s\n", TextOf(App().detailLine).toStdString().c_str());
  std::printf("picture: %s\n", picture.toStdString().c_str());
  if (!finished) std::printf("the run did not end within %lld s\n", kRunBoundMs / 1000);
  std::printf("result: %s\n", installed ? "certificate installed" : "no certificate installed");
  std::fflush(nullptr);
  // A run that did not end is still on its detached thread: end the process under it.
  std::_Exit(installed ? 0 : 1);
}
