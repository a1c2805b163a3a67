#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "channel/secure_channel.h"

namespace digital_id {

// Context requirements of every handshake call: sequence and replay detection,
// confidentiality, tokens allocated by the package, extended errors, stream mode.
inline constexpr std::uint32_t kHandshakeRequirements =
    kIscReqSequenceDetect | kIscReqReplayDetect | kIscReqConfidentiality | kIscReqAllocateMemory |
    kIscReqExtendedError | kIscReqStream;

// Bytes the handshake can hold from the server at once; a flight that needs more fails.
inline constexpr std::size_t kHandshakeBufferSize = 65536;

// Creates the context with the first handshake call and sends the client's first flight, then
// runs HandshakeLoop. Returns the final status; extraData receives what the loop reports.
SecStatus StartHandshake(SecureChannel& channel, std::vector<std::uint8_t>& extraData);

// Carries handshake tokens between the package and the socket until the context is complete or
// the handshake fails. On kSecEOk, extraData holds the bytes received behind the server's last
// handshake record. kSecIIncompleteCredentials (a server asking for an optional client
// certificate) is answered by calling the package again with the same bytes, without reading;
// a second such answer fails the handshake. Failures of its own are kSecEInternalError; the
// context is deleted when a send or read fails or the package reports a failure.
SecStatus HandshakeLoop(SecureChannel& channel, std::vector<std::uint8_t>& extraData);

}  // namespace digital_id
