#include "channel/socket_io.h"

#include <algorithm>
#include <climits>

#include "shell/app_state.h"

namespace digital_id {

bool SendAll(SocketHandle socket, const std::uint8_t* data, std::size_t size) {
  Sockets& sockets = *Services().sockets;
  std::size_t sent = 0;
  while (sent < size) {
    // A record cut short would reach the server corrupted, so the rest follows in further sends.
    const int chunk = static_cast<int>(std::min<std::size_t>(size - sent, INT_MAX));
    const int result = sockets.Send(socket, data + sent, chunk);
    if (result == kSocketError || result <= 0 || result > chunk) {
      return false;
    }
    sent += static_cast<std::size_t>(result);
  }
  return true;
}

}  // namespace digital_id
