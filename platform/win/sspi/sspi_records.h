#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/tls_session.h"
#include "platform/win/sspi/sspi_channel.h"

namespace digital_id::sspi {

// Bytes of the area in which one outgoing record is built: header, message and trailer must fit.
inline constexpr std::size_t kSendBufferSize = 2032;
// Bytes of the area in which one incoming record is gathered; a record must fit whole.
inline constexpr std::size_t kReceiveBufferSize = 65536;
// Most bytes one read asks for.
inline constexpr std::size_t kMaxReadSize = 65535;

// Encrypts message as one record in the send area (with the header and trailer sizes the context
// gives) and sends all of it. EncryptFailed when it does not fit or the package refuses it:
// nothing is sent then.
SendResult SendRecord(SspiChannel& channel, std::span<const std::uint8_t> message);

// Gathers the first whole record in the receive area, from the pending bytes first and then from
// reads, decrypts it and gives the bytes the package marks as its data. Bytes behind the record
// become the pending bytes of the next receive. Unreadable when the record's header announces
// more than the area holds, it does not decrypt or it carries no data.
ReceiveResult ReceiveRecord(SspiChannel& channel, Bytes& message);

}  // namespace digital_id::sspi
