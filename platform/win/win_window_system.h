#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "platform/lock.h"
#include "platform/window_system.h"

namespace digital_id {

// Deletes a GDI font.
struct FontDelete {
  void operator()(HFONT font) const { DeleteObject(font); }
};
// An owned GDI font.
using FontPtr = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDelete>;

// The window system over Win32. Calls from the worker thread go through SendMessage (directly
// or inside SetWindowTextW, GetWindowTextW and EnableWindow), so they are carried out on the
// thread that owns the window while the worker waits.
class WinWindowSystem : public WindowSystem {
 public:
  WinWindowSystem() = default;
  WinWindowSystem(const WinWindowSystem&) = delete;
  WinWindowSystem& operator=(const WinWindowSystem&) = delete;

  // RegisterClassExW of the main window class for AppState.instance.
  void RegisterMainWindowClass() override;
  // CreateWindowExW of the main window, ShowWindow and UpdateWindow.
  bool CreateMainWindow(const std::u16string& title, int showCommand) override;
  // GetMessageW / TranslateMessage / DispatchMessageW until WM_QUIT; its exit code.
  int RunMessageLoop() override;
  // CreateWindowExW of a child of the main window.
  WindowHandle CreateControl(const ControlCreation& control) override;
  // CreateFontW with the height and "Trebuchet MS"; kept until this object goes away.
  void* CreateControlFont(int fontHeight) override;
  // WM_SETFONT without redraw.
  void SetFont(WindowHandle control, void* font) override;
  // EM_LIMITTEXT.
  void LimitText(WindowHandle edit, int characters) override;
  // BM_SETCHECK.
  void SetCheck(WindowHandle radio, int state) override;
  // SetWindowTextW.
  void SetText(WindowHandle control, const std::u16string& text) override;
  // GetWindowTextW into bufferChars characters.
  std::u16string GetText(WindowHandle control, std::size_t bufferChars) override;
  // EnableWindow.
  void Enable(WindowHandle control, bool enable) override;
  // BM_GETCHECK.
  int GetCheck(WindowHandle radio) override;
  // CF_TEXT of the clipboard (OpenClipboard(NULL), GetClipboardData, GlobalLock).
  std::optional<std::string> ClipboardText() override;
  // PostQuitMessage.
  void PostQuit(int exitCode) override;

  // The main window, known from its creation message on (before CreateWindowExW returns).
  void AttachMainWindow(HWND window) { mainWindow_ = window; }
  // The main window; null before its creation.
  HWND MainWindow() const { return mainWindow_; }

 private:
  HWND mainWindow_ = nullptr;
  Lock fontsLock_;
  std::vector<FontPtr> fonts_;
};

// A "Trebuchet MS" font of the given height with every other attribute at its default.
HFONT CreateTrebuchetFont(int height);

}  // namespace digital_id
