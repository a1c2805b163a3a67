#pragma once

#include <windows.h>

#include "platform/window_system.h"

namespace digital_id {

// The Win32 window class and window style of a control.
struct Win32Control {
  const wchar_t* className;
  DWORD style;  // child and visible included
};

// The one place where a control kind becomes a Win32 control: an "Edit" with a border that
// scrolls sideways, "Button"s as default push button, group box or automatic radio button, and
// a left-aligned "STATIC".
Win32Control Win32ControlFor(ControlKind kind);

}  // namespace digital_id
