#include "enrollment/network_phase.h"

#include "shell/status_lines.h"

namespace digital_id {

void RunNetworkPhase(Language /*language*/, const std::u16string& /*secureCode*/,
                     const std::u16string& /*identityName*/) {
  // The anchors are in place; until the connection to the issuing server exists the run ends
  // here and gives the controls back.
  EnableInputControls();
}

}  // namespace digital_id
