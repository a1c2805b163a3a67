#pragma once

#include <string>
#include <string_view>

#include "core/shell/localised_text.h"
#include "core/shell/run_outcome.h"

namespace digital_id {

// The second half of an enrollment on the worker thread: connection, handshake, server
// authentication, request, acknowledgement, pause, verdict, installation, "CLTACK;" and shutdown.
// Returns how the run ended; the caller shows it.
RunOutcome RunNetworkPhase(Language language, std::u16string_view secureCode,
                           const std::u16string& identityName);

}  // namespace digital_id
