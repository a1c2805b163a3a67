#pragma once

#include <memory>
#include <vector>

#include "platform/lock.h"
#include "platform/window_system.h"

namespace digital_id {

// The window system of the command-line front end: controls exist only in memory, and every
// text set on the status line or the detail line is printed at once on standard output as
// "status: TEXT" or "detail: TEXT" (through PrintText; a line feed inside a text is printed as
// the two characters \n).
class ConsoleWindowSystem : public WindowSystem {
 public:
  void RegisterMainWindowClass() override {}
  bool CreateMainWindow(const std::u16string& title, int showCommand) override;
  int RunMessageLoop() override;
  WindowHandle CreateControl(const ControlCreation& control) override;
  void* CreateControlFont(int) override { return nullptr; }
  void SetFont(WindowHandle, void*) override {}
  void LimitText(WindowHandle edit, int characters) override;
  void SetCheck(WindowHandle radio, int state) override;
  void SetText(WindowHandle control, const std::u16string& text) override;
  std::u16string GetText(WindowHandle control, std::size_t bufferChars) override;
  void Enable(WindowHandle control, bool enable) override;
  int GetCheck(WindowHandle radio) override;
  std::optional<std::string> ClipboardText() override { return std::nullopt; }
  void PostQuit(int exitCode) override;

 private:
  struct Control {
    std::u16string text;
    int check = 0;
    int limit = 0;
    bool enabled = true;
  };
  Control* Find(WindowHandle handle);

  Lock lock_;
  std::vector<std::unique_ptr<Control>> controls_;
  int exitCode_ = 0;
};

}  // namespace digital_id
