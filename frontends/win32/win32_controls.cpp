#include "frontends/win32/win32_controls.h"

namespace digital_id {

namespace {

constexpr DWORD kChildVisible = WS_CHILD | WS_VISIBLE;

}  // namespace

Win32Control Win32ControlFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::EditBox:
      return {L"Edit", kChildVisible | WS_BORDER | ES_AUTOHSCROLL};
    case ControlKind::PushButton:
      return {L"Button", kChildVisible | BS_DEFPUSHBUTTON};
    case ControlKind::RadioButton:
      return {L"Button", kChildVisible | BS_AUTORADIOBUTTON};
    case ControlKind::GroupBox:
      return {L"Button", kChildVisible | BS_GROUPBOX};
    case ControlKind::StaticText:
      break;
  }
  return {L"STATIC", kChildVisible | SS_LEFT};
}

}  // namespace digital_id
