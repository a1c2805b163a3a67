#pragma once

#include "platform/window_system.h"

namespace digital_id {

// Registers the main window class with the window system for the program instance the entry
// point was given; the result is not looked at.
void RegisterMainWindowClass(void* instance);

// Reads Language for the title and has the window created, shown and painted, with the core
// answering its events. Returns 1 when the window exists, else 0.
int CreateMainWindow(void* instance, int showCommand);

// The main window's events as the core answers them: creation, the push buttons, closing,
// the captions of each paint and the colour of the two lines.
WindowEvents& MainWindowEvents();

// Creation of the main window: creates every control of the table and stores the handles in
// AppState.
void OnMainWindowCreate();

// A push button's command: Submit, Paste or Close; any other command does nothing.
void OnMainWindowCommand(int command);

// Destruction of the main window: posts the quit message with exit code 0.
void OnMainWindowDestroy();

// Submit: disables the four input controls in order and starts the enrollment thread; if the
// thread cannot be started, enables them again.
void SubmitCode();

// Paste: the clipboard's 8-bit text, one character per byte, cut to 64 characters, replaces the
// content of the code box; without 8-bit text nothing changes.
void PasteCode();

// True for the status line and the detail line, which are drawn in AppState.lineColour.
bool IsColouredLine(WindowHandle control);

}  // namespace digital_id
