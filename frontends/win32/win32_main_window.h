#pragma once

#include <windows.h>

#include <string>

namespace digital_id {

class WinWindowSystem;

// Class name of the main window.
inline constexpr wchar_t kMainWindowClassName[] = L"ORVANDIGITALIDINSTALLER";
// Resource id of the program's icon group.
inline constexpr int kAppIconId = 134;

// Registers the main window class (redraw on size change, icon 134, arrow cursor, button-face
// background, MainWindowProc); false when the registration fails.
bool RegisterWin32MainWindowClass(HINSTANCE instance);

// Creates the 665 x 190 main window with a sunken client edge, caption, system menu and
// minimise box at the platform's default place; its creation message creates the controls
// through the core. Shows it with the show command and paints it at once. Null on failure.
HWND CreateWin32MainWindow(HINSTANCE instance, const std::wstring& title, int showCommand,
                           WinWindowSystem& windows);

// The window procedure: creation, painting of the captions, commands, destruction and the
// colour of the status and detail lines; every other message goes to DefWindowProcW.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace digital_id
