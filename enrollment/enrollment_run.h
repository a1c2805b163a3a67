#pragma once

#include <cstdint>
#include <string>

namespace digital_id {

// Characters of the secure-code buffer, terminator included (at most 64 characters are read).
inline constexpr std::size_t kSecureCodeChars = 65;
// Characters of the identity-name buffer, terminator included.
inline constexpr std::size_t kIdentityNameChars = 257;

// The worker thread of one enrollment, started by Submit after the four input controls were
// disabled: clears the lines, validates the code, determines the identity name, checks both
// anchors and hands over to the network phase. Enables the controls again on its own exits.
// Always returns 0; the parameter is not used.
std::uint32_t EnrollmentThreadProc(void* parameter);

// The identity name: the computer name in machine context, else the user name.
std::u16string IdentityName();

}  // namespace digital_id
