#include "core/channel/secure_channel.h"
#include "core/shell/app_state.h"
#include "core/shell/status_lines.h"

namespace digital_id {

void CloseConnection(SecureChannel& channel) {
  try {
    // The session and the socket go on every exit, whatever step the run reached.
    channel.Release();
    Services().sockets->Cleanup();
    Services().system->ComUninitialize();
  } catch (...) {
    // Whatever could not be released goes with the process.
  }
}

}  // namespace digital_id
