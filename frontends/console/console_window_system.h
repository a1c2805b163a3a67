#pragma once

#include <memory>
#include <vector>

#include "base/secret_text.h"
#include "platform/lock.h"
#include "platform/window_system.h"

namespace digital_id {

// The window system of the command-line front end: controls exist only in memory, and every
// text set on the status line or the detail line is printed at once on standard output as
// "status: TEXT" or "detail: TEXT" (through PrintText; a line feed inside a text is printed as
// the two characters \n). Notices of the core go to standard error.
class ConsoleWindowSystem : public WindowSystem {
 public:
  void RegisterMainWindowClass(void* /*instance*/) override {}
  // Creates the controls (through events.OnCreate()); nothing is shown.
  bool CreateMainWindow(const MainWindowDescription& window, WindowEvents& events) override;
  int RunMessageLoop() override;
  WindowHandle CreateControl(const ControlDescription& control) override;
  void SetText(WindowHandle control, const std::u16string& text) override;
  std::u16string GetText(WindowHandle control, std::size_t bufferChars) override;
  void Enable(WindowHandle control, bool enable) override;
  void SetChecked(WindowHandle radio, bool checked) override;
  bool IsChecked(WindowHandle radio) override;
  std::optional<std::string> ClipboardText() override { return std::nullopt; }
  void PostQuit(int exitCode) override;
  // Prints "digital-id-enroll: LINE" on standard error.
  void ShowNotice(const std::string& line) override;

 private:
  // One control; its text (for the code box, the secure code) is wiped with it.
  struct Control {
    ~Control() { WipeContainer(text); }
    std::u16string text;
    bool radio = false;
    bool checked = false;
    int limit = 0;
    bool enabled = true;
  };
  Control* Find(WindowHandle handle);

  Lock lock_;
  std::vector<std::unique_ptr<Control>> controls_;
  int exitCode_ = 0;
};

}  // namespace digital_id
