#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace digital_id {

// Registers the main window class with the window system; the result is not looked at.
void RegisterMainWindowClass(void* instance);

// Stores the instance handle, reads Language for the title and has the window created, shown
// and painted. Returns 1 when the window exists, else 0.
int CreateMainWindow(void* instance, int showCommand);

// Creation of the main window: creates every control of the table with its font, limits the
// code box to 64 characters, checks User, and stores the handles in AppState.
void OnMainWindowCreate();

// A command from a control, told apart by its id: Submit, Paste or Close; others do nothing.
void OnMainWindowCommand(int controlId);

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
