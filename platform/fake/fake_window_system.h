#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "platform/window_system.h"

namespace digital_id::fake {

// One call the core made on the window system, as tests inspect it.
struct WindowEvent {
  enum class Kind { SetText, Enable, IsChecked, GetText, PostQuit };
  Kind kind;
  WindowHandle control;
  std::u16string text;   // SetText
  bool enabled = false;  // Enable
  int code = 0;          // PostQuit
};

// A control created through the fake window system.
struct FakeControl {
  ControlDescription description;
  std::u16string text;
  bool enabled = true;
  bool checked = false;
  int font = -1;  // index of its font object in FontHeights()
};

// Window system that keeps controls in memory and records every call. Thread-safe: the worker
// thread and the test thread may use it at once.
class FakeWindowSystem : public WindowSystem {
 public:
  void RegisterMainWindowClass(void* instance) override;
  bool CreateMainWindow(const MainWindowDescription& window, WindowEvents& events) override;
  int RunMessageLoop() override;
  WindowHandle CreateControl(const ControlDescription& control) override;
  void SetText(WindowHandle control, const std::u16string& text) override;
  std::u16string GetText(WindowHandle control, std::size_t bufferChars) override;
  void Enable(WindowHandle control, bool enable) override;
  void SetChecked(WindowHandle radio, bool checked) override;
  bool IsChecked(WindowHandle radio) override;
  std::optional<std::string> ClipboardText() override;
  void PostQuit(int exitCode) override;
  void ShowNotice(const std::string& line) override;

  // Test controls.
  bool failCreateWindow = false;         // CreateMainWindow answers false
  std::optional<std::string> clipboard;  // what ClipboardText answers
  int exitCodeOfLoop = -1;               // what RunMessageLoop answers when no quit was posted

  // Observations.
  // The main window as the core described it (empty before its creation).
  MainWindowDescription Window() const;
  bool ClassRegistered() const;
  std::vector<WindowEvent> Events() const;
  void ClearEvents();
  // The text of a control as the user would see it now.
  std::u16string TextOf(WindowHandle control) const;
  bool IsEnabled(WindowHandle control) const;
  // Every control created, in order of creation.
  std::vector<const FakeControl*> Controls() const;
  // Font objects created, with their heights, in order.
  std::vector<int> FontHeights() const;
  // Texts each line showed, in order, for the status line or detail line.
  std::vector<std::u16string> TextsShownOn(WindowHandle control) const;
  std::optional<int> PostedQuit() const;
  // The notice lines the core handed over, in order.
  std::vector<std::string> Notices() const;

  // What a user does, handed to the core's events as the platform would.
  // Sets a control's text, kept to an edit box's limit.
  void Type(WindowHandle control, const std::u16string& text);
  // Clicks a radio button: it is checked and the others are cleared.
  void Click(WindowHandle radio);
  // Presses a push button: its command goes to the events.
  void Press(WindowHandle button);
  // Closes the main window from its title bar.
  void CloseWindow();
  // Paints the window: the captions and the colour of a static text the events give.
  std::vector<Caption> PaintCaptions();
  std::optional<Rgb> PaintedColour(WindowHandle control);

 private:
  FakeControl* Find(WindowHandle handle) const;
  // The events the core gave with the window; null before the window exists.
  WindowEvents* Delegate() const;
  // An edit box keeps at most its limit, as the real one does for typing and pasting.
  static std::u16string Limited(const FakeControl& control, const std::u16string& text);

  mutable Lock lock_;
  std::vector<std::unique_ptr<FakeControl>> controls_;
  std::vector<int> fontHeights_;
  std::vector<WindowEvent> events_;
  MainWindowDescription window_;
  WindowEvents* delegate_ = nullptr;
  bool classRegistered_ = false;
  std::optional<int> quit_;
  std::vector<std::string> notices_;
};

}  // namespace digital_id::fake
