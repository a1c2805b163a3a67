#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace digital_id::fake {

// One call the core made on the window system, as tests inspect it.
struct WindowEvent {
  enum class Kind { SetText, Enable, GetCheck, GetText, PostQuit };
  Kind kind;
  WindowHandle control;
  std::u16string text;   // SetText
  bool enabled = false;  // Enable
  int code = 0;          // PostQuit
};

// A control created through the fake window system.
struct FakeControl {
  ControlCreation creation;
  std::u16string text;
  bool enabled = true;
  int check = 0;
  int limit = 0;
  void* font = nullptr;
};

// Window system that keeps controls in memory and records every call. Thread-safe: the worker
// thread and the test thread may use it at once.
class FakeWindowSystem : public WindowSystem {
 public:
  void RegisterMainWindowClass() override;
  bool CreateMainWindow(const std::u16string& title, int showCommand) override;
  int RunMessageLoop() override;
  WindowHandle CreateControl(const ControlCreation& control) override;
  void* CreateControlFont(int fontHeight) override;
  void SetFont(WindowHandle control, void* font) override;
  void LimitText(WindowHandle edit, int characters) override;
  void SetCheck(WindowHandle radio, int state) override;
  void SetText(WindowHandle control, const std::u16string& text) override;
  std::u16string GetText(WindowHandle control, std::size_t bufferChars) override;
  void Enable(WindowHandle control, bool enable) override;
  int GetCheck(WindowHandle radio) override;
  std::optional<std::string> ClipboardText() override;
  void PostQuit(int exitCode) override;

  // Test controls.
  bool failCreateWindow = false;         // CreateMainWindow answers false
  std::optional<std::string> clipboard;  // what ClipboardText answers
  int exitCodeOfLoop = -1;               // what RunMessageLoop answers when no quit was posted
  std::function<void()> onCreate;        // run by CreateMainWindow (the creation message)

  // Observations.
  std::u16string Title() const;
  int ShowCommand() const;
  bool ClassRegistered() const;
  std::vector<WindowEvent> Events() const;
  void ClearEvents();
  // The text of a control as the user would see it now.
  std::u16string TextOf(WindowHandle control) const;
  bool IsEnabled(WindowHandle control) const;
  // Sets a control's text or check state as the user would.
  void Type(WindowHandle control, const std::u16string& text);
  void Click(WindowHandle radio, int check);
  // Every control created, in order of creation.
  std::vector<const FakeControl*> Controls() const;
  // Fonts created, with their heights, in order.
  std::vector<int> FontHeights() const;
  // Texts each line showed, in order, for the status line or detail line.
  std::vector<std::u16string> TextsShownOn(WindowHandle control) const;
  std::optional<int> PostedQuit() const;

 private:
  FakeControl* Find(WindowHandle handle) const;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<FakeControl>> controls_;
  std::vector<std::unique_ptr<int>> fonts_;
  std::vector<WindowEvent> events_;
  std::u16string title_;
  int showCommand_ = -1;
  bool classRegistered_ = false;
  std::optional<int> quit_;
};

}  // namespace digital_id::fake
