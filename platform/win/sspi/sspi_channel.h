#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/cert_store.h"
#include "platform/sockets.h"
#include "platform/win/sspi/sspi_table.h"

namespace digital_id::sspi {

// What the handshake and the record steps of one connection share: the package's functions, the
// socket and the functions that reach it, the credentials and the context, and the bytes received
// behind the last record used (kept for the next receive).
struct SspiChannel {
  SspiTable& table;
  Sockets& sockets;
  SocketHandle socket = kInvalidSocket;
  SecHandle credential;
  SecHandle context;
  Bytes pending;

  // Sends every byte, continuing after short sends. False when a send fails or sends nothing.
  bool SendAll(const std::uint8_t* data, std::size_t size);
  // Deletes the context if one is held and marks it unset.
  void DeleteContext();
  // Frees the credentials, deletes the context and drops the pending bytes; safe to call twice.
  void Release();
};

}  // namespace digital_id::sspi
