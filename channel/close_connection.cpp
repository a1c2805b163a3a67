#include "channel/secure_channel.h"
#include "shell/app_state.h"
#include "shell/status_lines.h"

namespace digital_id {

int CloseConnection(SecureChannel& channel) {
  try {
    // The session and the socket go on every exit, whatever step the run reached.
    channel.Release();
    Services().sockets->Cleanup();
    Services().system->ComUninitialize();
  } catch (...) {
    // Whatever could not be released goes with the process; the user gets the controls back.
  }
  try {
    EnableInputControls();
  } catch (...) {
    // Nothing more can be done.
  }
  return 0;
}

}  // namespace digital_id
