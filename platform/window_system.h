#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace digital_id {

// Opaque handle of a window or control; owned by the window system, never closed by the core.
using WindowHandle = void*;

// Creation parameters of one child control of the main window.
struct ControlCreation {
  std::u16string className;  // "Edit", "Button" or "STATIC"
  std::u16string text;       // initial text
  std::uint32_t style = 0;   // Win32 style bits, child and visible included
  int x = 0, y = 0, width = 0, height = 0;
  int id = 0;  // command id reported by the control
};

// The window system as the core sees it. Calls made from the worker thread are carried out on
// the main thread while the caller waits (SendMessage semantics); the main thread never waits
// for the worker.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Registers the main window class; the result is not looked at by the core.
  virtual void RegisterMainWindowClass() = 0;
  // Creates the main window with its title (its creation creates the controls through the core),
  // shows it with the show command and paints it; false when creation fails.
  virtual bool CreateMainWindow(const std::u16string& title, int showCommand) = 0;
  // Runs the message loop until the quit message arrives; returns the quit message's code.
  virtual int RunMessageLoop() = 0;

  // Creates one child control of the main window; null on failure.
  virtual WindowHandle CreateControl(const ControlCreation& control) = 0;
  // Creates a "Trebuchet MS" font of the given height (0: the face's default), kept until the
  // process ends; null when it cannot be created.
  virtual void* CreateControlFont(int fontHeight) = 0;
  // Gives a font to a control without immediate redraw (a null font leaves the default).
  virtual void SetFont(WindowHandle control, void* font) = 0;
  // Limits an edit box to the given number of characters.
  virtual void LimitText(WindowHandle edit, int characters) = 0;
  // Sets a radio button's check state (1 checked).
  virtual void SetCheck(WindowHandle radio, int state) = 0;

  // Replaces the text of a control.
  virtual void SetText(WindowHandle control, const std::u16string& text) = 0;
  // Reads at most bufferChars - 1 characters of a control's text.
  virtual std::u16string GetText(WindowHandle control, std::size_t bufferChars) = 0;
  // Enables or disables a control.
  virtual void Enable(WindowHandle control, bool enable) = 0;
  // Asks a radio button for its check state (BM_GETCHECK: 1 when checked).
  virtual int GetCheck(WindowHandle radio) = 0;
  // The clipboard's 8-bit text up to its terminating zero byte; nullopt when the clipboard
  // cannot be opened, holds no 8-bit text or cannot be read.
  virtual std::optional<std::string> ClipboardText() = 0;
  // Posts the quit message with the given exit code.
  virtual void PostQuit(int exitCode) = 0;
};

}  // namespace digital_id
