#pragma once

#include <windows.h>

#include "platform/window_system.h"

namespace digital_id {

// Class name of the main window.
inline constexpr wchar_t kMainWindowClassName[] = L"ORVANDIGITALIDINSTALLER";
// Resource id of the program's icon group.
inline constexpr int kAppIconId = 134;

// What the window procedure shares with the window's owner: the events it hands on, and the
// window's handle, known from the creation message on (before CreateWindowExW returns, so that
// the controls the events create there have their parent).
struct MainWindowLink {
  WindowEvents* events = nullptr;
  HWND window = nullptr;
};

// Registers the main window class (redraw on size change, icon 134, arrow cursor, button-face
// background, MainWindowProc); false when the registration fails.
bool RegisterWin32MainWindowClass(HINSTANCE instance);

// Creates the main window of the described title and size with a sunken client edge, caption,
// system menu and minimise box at the platform's default place; its creation message has the
// link's events create the controls. Shows it with the show command and paints it at once. The
// link must outlive the window. Null on failure.
HWND CreateWin32MainWindow(HINSTANCE instance, const MainWindowDescription& window,
                           MainWindowLink& link);

// The window procedure: creation, painting of the captions, the push buttons' commands,
// destruction and the colours of static texts, each handed to the link's events; every other
// message goes to DefWindowProcW.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace digital_id
