#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "frontends/win32/win32_window_system.h"
#include "platform/win/win_platform.h"

namespace digital_id::wine_test {

// The installer's own start-up, window and message loop (RunInstaller over a WinPlatform) on a
// thread of its own, started in a chosen current directory, so a test can inspect and drive the
// real window from its thread as a user would.
class RunningInstaller {
 public:
  // Makes folder the current directory, starts the installer and waits for its main window.
  explicit RunningInstaller(const std::wstring& folder);
  // Closes the window if it is still open and waits for the installer's thread.
  ~RunningInstaller();
  RunningInstaller(const RunningInstaller&) = delete;
  RunningInstaller& operator=(const RunningInstaller&) = delete;

  // The main window; null when it did not appear.
  HWND Window() const { return window_; }
  // Closes the window from its title bar (WM_CLOSE) and returns the installer's exit code.
  int Close();

 private:
  Win32WindowSystem windows_;
  WinPlatform platform_{windows_};
  std::atomic<int> exitCode_{-1};
  std::thread thread_;
  HWND window_ = nullptr;
};

// The child windows of a window in the order of their creation.
std::vector<HWND> ChildControls(HWND window);

// The text of a window (WM_GETTEXT).
std::wstring WindowText(HWND window);

// The registered class name of a window.
std::wstring ClassName(HWND window);

// Waits until the window and its children have nothing left to paint; false when that does not
// happen within a generous bound.
bool WaitUntilPainted(HWND window);

// Waits until condition holds, checking every 100 ms, for at most the given seconds; whether it
// held.
template <typename Condition>
bool WaitFor(Condition condition, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (condition()) {
      return true;
    }
    Sleep(100);
  }
  return condition();
}

// What a window showed, frame included: 24-bit rows, bottom-up, each padded to 4 bytes.
struct WindowPicture {
  int width = 0;
  int height = 0;
  std::vector<BYTE> bits;
  // The bytes of one row.
  std::size_t RowBytes() const {
    return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  }
  // The colour at x, y from the window's top left corner.
  COLORREF At(int x, int y) const;
};

// Copies what the window shows, frame included; nothing on failure.
std::optional<WindowPicture> CaptureWindow(HWND window);

// Writes a picture as a 24-bit BMP file; false on failure.
bool SaveBitmap(const WindowPicture& picture, const std::wstring& path);

// Copies what the window shows, frame included, into a 24-bit BMP file; false on failure.
bool SaveWindowBitmap(HWND window, const std::wstring& path);

}  // namespace digital_id::wine_test
