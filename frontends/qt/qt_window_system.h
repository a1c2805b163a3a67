#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include "platform/window_system.h"

class QWidget;

namespace digital_id {

class MainWindowWidget;

// The window system of the Linux window, over Qt Widgets. Controls are child widgets of one
// fixed-size main window; their handles are the widgets' addresses. Calls from another thread
// are carried out on the thread that owns this object while the caller waits.
class QtWindowSystem : public QObject, public WindowSystem {
  Q_OBJECT

 public:
  QtWindowSystem();
  ~QtWindowSystem() override;

  // Sets the application icon and desktop name (Qt has no window classes).
  void RegisterMainWindowClass(void* instance) override;
  // The main window widget; events.OnCreate() creates its controls before it is shown.
  bool CreateMainWindow(const MainWindowDescription& window, WindowEvents& events) override;
  // Runs the Qt event loop; returns at once when the quit was posted before.
  int RunMessageLoop() override;
  // A QLineEdit, QPushButton, QRadioButton (auto-exclusive), GroupFrame or LineLabel with the
  // control's "Trebuchet MS" font, made smaller where its caption would not fit the control; a
  // pressed push button reports its command to the events.
  WindowHandle CreateControl(const ControlDescription& control) override;
  void SetText(WindowHandle control, const std::u16string& text) override;
  std::u16string GetText(WindowHandle control, std::size_t bufferChars) override;
  void Enable(WindowHandle control, bool enable) override;
  void SetChecked(WindowHandle radio, bool checked) override;
  bool IsChecked(WindowHandle radio) override;
  // The clipboard's plain text as the bytes of its Latin-1 form, up to a first zero byte.
  std::optional<std::string> ClipboardText() override;
  // Remembers the exit code and ends the running event loop with it.
  void PostQuit(int exitCode) override;

  // The main window; null before CreateMainWindow.
  QWidget* Window() const;
  // The widget behind a control handle; null when the handle names no control of this window.
  QWidget* Control(WindowHandle handle) const;

 private:
  // Runs work on this object's thread: directly when already there, otherwise through a
  // blocking queued call while the calling thread waits.
  template <typename Work>
  auto OnGuiThread(Work work) -> std::invoke_result_t<Work> {
    using Result = std::invoke_result_t<Work>;
    if (QThread::currentThread() == thread()) {
      return work();
    }
    if constexpr (std::is_void_v<Result>) {
      QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
    } else {
      Result result{};
      QMetaObject::invokeMethod(
          this, [&result, &work] { result = work(); }, Qt::BlockingQueuedConnection);
      return result;
    }
  }

  // Gives a placed control its font: a new font object of the described height, or the one of the
  // control before it when shared; at the largest size at which every caption drawn in it fits.
  void SetFittingFont(QWidget* widget, const FontDescription& font);

  WindowEvents* events_ = nullptr;
  std::unique_ptr<MainWindowWidget> window_;
  std::vector<QPointer<QWidget>> controls_;
  // The controls that draw in the font object created last.
  std::vector<QPointer<QWidget>> fontSharers_;
  std::optional<int> quitCode_;
};

}  // namespace digital_id
