#pragma once

#include <cstdint>
#include <string>

#include "core/shell/run_outcome.h"

namespace digital_id {

// Characters of the secure-code buffer, terminator included (at most 64 characters are read).
inline constexpr std::size_t kSecureCodeChars = 65;
// Characters of the identity-name buffer, terminator included.
inline constexpr std::size_t kIdentityNameChars = 257;

// One enrollment on the calling thread, after the four input controls were disabled: clears the
// lines, validates the code, determines the identity name, checks both anchors and hands over to
// the network phase; then shows how it ended (texts, colour, controls) and returns that.
RunOutcome RunEnrollment();

// The worker thread of one enrollment, started by Submit: runs RunEnrollment. Always returns 0;
// the parameter is not used.
std::uint32_t EnrollmentThreadProc(void* parameter);

// The identity name: the computer name in machine context, else the user name.
std::u16string IdentityName();

}  // namespace digital_id
