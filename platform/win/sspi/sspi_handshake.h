#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win/sspi/sspi_channel.h"

namespace digital_id::sspi {

// Context requirements of every handshake call: sequence and replay detection,
// confidentiality, tokens allocated by the package, extended errors, stream mode.
inline constexpr std::uint32_t kHandshakeRequirements =
    kIscReqSequenceDetect | kIscReqReplayDetect | kIscReqConfidentiality | kIscReqAllocateMemory |
    kIscReqExtendedError | kIscReqStream;

// Bytes the handshake can hold from the server at once; a flight that needs more fails.
inline constexpr std::size_t kHandshakeBufferSize = 65536;

// Runs the handshake over the channel's credentials and socket: creates the context with the
// first call and sends the client's first flight, then carries tokens between the package and
// the socket until the context is complete or the handshake fails. Bytes received behind the
// server's last handshake record stay in the channel's pending bytes for the first receive.
// Failures of its own (socket, buffer full) are kSecEInternalError; the context is deleted when
// a send or read fails or the package reports a failure after the first call.
SecStatus RunHandshake(SspiChannel& channel, const std::u16string& targetName);

}  // namespace digital_id::sspi
