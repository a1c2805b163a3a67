#pragma once

#include <windows.h>

#include <vector>

#include "frontends/win32/gdi_font.h"
#include "frontends/win32/win32_main_window.h"
#include "platform/lock.h"
#include "platform/window_system.h"

namespace digital_id {

// The window system over Win32. Calls from the worker thread go through SendMessage (directly
// or inside SetWindowTextW, GetWindowTextW and EnableWindow), so they are carried out on the
// thread that owns the window while the worker waits.
class Win32WindowSystem : public WindowSystem {
 public:
  Win32WindowSystem() = default;
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

  // RegisterClassExW of the main window class for the instance (null: this program's module).
  void RegisterMainWindowClass(void* instance) override;
  // CreateWindowExW of the main window, ShowWindow and UpdateWindow.
  bool CreateMainWindow(const MainWindowDescription& window, WindowEvents& events) override;
  // GetMessageW / TranslateMessage / DispatchMessageW until WM_QUIT; its exit code.
  int RunMessageLoop() override;
  // CreateWindowExW of a child of the main window with the kind's class and styles (see
  // Win32ControlFor) and the command as its id; a "Trebuchet MS" font created just before it
  // (or the previous control's), EM_LIMITTEXT before the font, BM_SETCHECK after it. The fonts
  // are kept until this object goes away (under a lock, as the thread that calls is not known).
  WindowHandle CreateControl(const ControlDescription& control) override;
  // SetWindowTextW.
  void SetText(WindowHandle control, const std::u16string& text) override;
  // GetWindowTextW into bufferChars characters.
  std::u16string GetText(WindowHandle control, std::size_t bufferChars) override;
  // EnableWindow.
  void Enable(WindowHandle control, bool enable) override;
  // BM_SETCHECK.
  void SetChecked(WindowHandle radio, bool checked) override;
  // BM_GETCHECK answers BST_CHECKED.
  bool IsChecked(WindowHandle radio) override;
  // CF_TEXT of the clipboard (OpenClipboard(NULL), GetClipboardData, GlobalLock).
  std::optional<std::string> ClipboardText() override;
  // PostQuitMessage.
  void PostQuit(int exitCode) override;

  // The main window; null before its creation message.
  HWND MainWindow() const { return link_.window; }

 private:
  // The instance of the window and its controls.
  HINSTANCE Instance(void* instance) const;

  HINSTANCE instance_ = nullptr;
  MainWindowLink link_;
  // Guards fonts_.
  Lock fontsLock_;
  std::vector<FontPtr> fonts_;
};

}  // namespace digital_id
