#pragma once

#include <cstdint>
#include <vector>

#include "platform/window_system.h"
#include "shell/localised_text.h"

namespace digital_id {

// Win32 style bits used by the main window's controls.
namespace styles {
inline constexpr std::uint32_t kChild = 0x40000000;        // WS_CHILD
inline constexpr std::uint32_t kVisible = 0x10000000;      // WS_VISIBLE
inline constexpr std::uint32_t kBorder = 0x00800000;       // WS_BORDER
inline constexpr std::uint32_t kAutoHScroll = 0x0080;      // ES_AUTOHSCROLL
inline constexpr std::uint32_t kDefPushButton = 0x0001;    // BS_DEFPUSHBUTTON
inline constexpr std::uint32_t kGroupBox = 0x0007;         // BS_GROUPBOX
inline constexpr std::uint32_t kAutoRadioButton = 0x0009;  // BS_AUTORADIOBUTTON
}  // namespace styles

// Which control of the main window a table row creates.
enum class ControlRole {
  CodeEdit,
  PasteButton,
  SubmitButton,
  CloseButton,
  ContextGroup,
  UserRadio,
  MachineRadio,
  StatusLine,
  DetailLine,
};

// Command ids of the push buttons.
inline constexpr int kSubmitId = 1;
inline constexpr int kPasteId = 3;
inline constexpr int kCloseId = 4;

// Characters the secure-code box holds.
inline constexpr int kCodeLimit = 64;

// Size of the main window, frame included.
inline constexpr int kMainWindowWidth = 665;
inline constexpr int kMainWindowHeight = 190;

// One row of the control table.
struct ControlLayout {
  ControlRole role;
  ControlCreation creation;
  int fontHeight;           // height of the "Trebuchet MS" font; 0 is the face's default size
  bool sharesPreviousFont;  // uses the font object of the row before instead of a new one
};

// The controls of the main window in their order of creation, for the advance mode and the
// language chosen at creation.
std::vector<ControlLayout> MainWindowControls(bool advanceMode, Language language);

// A text the window paints itself on every paint.
struct Caption {
  int fontHeight;
  int x;
  int y;
  std::u16string text;  // a "\n" starts a second line, again at x
};

// The painted captions in the language the settings file names at this moment.
std::vector<Caption> CaptionsToPaint();

}  // namespace digital_id
