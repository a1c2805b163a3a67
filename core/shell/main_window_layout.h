#pragma once

#include <vector>

#include "core/shell/localised_text.h"
#include "platform/window_system.h"

namespace digital_id {

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
  ControlDescription control;
};

// The controls of the main window in their order of creation, for the advance mode and the
// language chosen at creation.
std::vector<ControlLayout> MainWindowControls(bool advanceMode, Language language);

// The painted captions in the language the settings file names at this moment.
std::vector<Caption> CaptionsToPaint();

}  // namespace digital_id
