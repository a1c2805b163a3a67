#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace digital_id {

// Opaque handle of a window or control; owned by the window system, never closed by the core.
using WindowHandle = void*;

// What a control of the main window is.
enum class ControlKind {
  EditBox,      // one line of text the user types or pastes, with a border, scrolling sideways
  PushButton,   // reports its command when pressed
  RadioButton,  // the radio buttons of the window form one exclusive group
  GroupBox,     // a frame with a title around other controls
  StaticText,   // text the program sets, left-aligned, a line feed starts a new line
};

// A rectangle of the main window's client area, in pixels.
struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// A text colour.
struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// The font a control or a caption is drawn in: the "Trebuchet MS" face at a height.
struct FontDescription {
  // Character cell height (ascent plus descent) in pixels; 0 is the face's default size.
  int height = 0;
  // Draws in the font object of the control created just before, instead of one of its own.
  bool sharedWithPrevious = false;
};

// One child control of the main window, as the core describes it.
struct ControlDescription {
  ControlKind kind = ControlKind::StaticText;
  std::u16string text;  // initial text (the title of a group box)
  Rect rect;
  FontDescription font;
  int command = 0;       // push button: the command it reports when pressed (0: none)
  int textLimit = 0;     // edit box: most characters it holds (0: the platform's limit)
  bool checked = false;  // radio button: checked at creation
};

// The main window, as the core describes it.
struct MainWindowDescription {
  // The program instance the entry point was given (null: the running program); opaque.
  void* instance = nullptr;
  std::u16string title;
  int width = 0;   // outer size, frame included
  int height = 0;  // outer size, frame included
  // How to show it: the show command the program's entry point was given (0 keeps it hidden).
  int showCommand = 0;
};

// A text the main window paints itself, with a transparent background in the default text
// colour, without clipping or wrapping.
struct Caption {
  int fontHeight = 0;  // of the "Trebuchet MS" face, as FontDescription::height
  int x = 0;
  int y = 0;
  std::u16string text;  // a line feed starts a second line, again at x
};

// What the window system tells the core, on the thread that runs the message loop.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;

  // The main window is being created: its controls are created now (through CreateControl).
  virtual void OnCreate() = 0;
  // A push button was pressed; command is the one its description gave.
  virtual void OnButtonPressed(int command) = 0;
  // The main window was closed from its title bar or system menu and is gone.
  virtual void OnClosed() = 0;
  // The captions to paint, asked at every paint.
  virtual std::vector<Caption> Captions() = 0;
  // The colour of a static text at this paint; nullopt leaves the platform's own colour.
  virtual std::optional<Rgb> TextColour(WindowHandle control) = 0;
};

// The window system as the core sees it: one main window with child controls. Calls made from
// the worker thread are carried out on the main thread while the caller waits; the main thread
// never waits for the worker.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Prepares the main window's kind (icon, cursor, background) for the program instance the
  // entry point was given (null: the running program); the result is not looked at: a failure
  // shows as a failed creation.
  virtual void RegisterMainWindowClass(void* instance) = 0;
  // Creates the main window; while it is created, events.OnCreate() creates the controls. Then
  // shows it as the description says and paints it. events must outlive the window. False when
  // the window cannot be created.
  virtual bool CreateMainWindow(const MainWindowDescription& window, WindowEvents& events) = 0;
  // Runs the message loop until the quit message arrives; returns the quit message's code.
  virtual int RunMessageLoop() = 0;

  // Creates one child control of the main window, visible, with its font, text limit and check
  // state; null on failure.
  virtual WindowHandle CreateControl(const ControlDescription& control) = 0;

  // Replaces the text of a control.
  virtual void SetText(WindowHandle control, const std::u16string& text) = 0;
  // Reads at most bufferChars - 1 characters of a control's text.
  virtual std::u16string GetText(WindowHandle control, std::size_t bufferChars) = 0;
  // Enables or disables a control.
  virtual void Enable(WindowHandle control, bool enable) = 0;
  // Checks or clears a radio button.
  virtual void SetChecked(WindowHandle radio, bool checked) = 0;
  // True when a radio button is checked; false for anything else, a null handle included.
  virtual bool IsChecked(WindowHandle radio) = 0;
  // The clipboard's 8-bit text up to its terminating zero byte; nullopt when the clipboard
  // cannot be opened, holds no 8-bit text or cannot be read.
  virtual std::optional<std::string> ClipboardText() = 0;
  // Posts the quit message with the given exit code.
  virtual void PostQuit(int exitCode) = 0;

  // A line for whoever runs the program that says more than the two text lines can, such as
  // which pinned digest a downloaded anchor failed (one line of UTF-8, no line end). Not one of
  // the window's texts: the console front end prints it on standard error; a window has nowhere
  // to put it, so by default it is dropped. May be called from the worker thread.
  virtual void ShowNotice(const std::string& /*line*/) {}
};

}  // namespace digital_id
