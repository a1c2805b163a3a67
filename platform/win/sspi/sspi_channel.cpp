#include "platform/win/sspi/sspi_channel.h"

#include <algorithm>
#include <climits>

namespace digital_id::sspi {

bool SspiChannel::SendAll(const std::uint8_t* data, std::size_t size) {
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

void SspiChannel::DeleteContext() {
  if (context.IsSet()) {
    table.DeleteSecurityContext(&context);
    context = SecHandle{};
  }
}

void SspiChannel::Release() {
  if (credential.IsSet()) {
    table.FreeCredentialsHandle(&credential);
    credential = SecHandle{};
  }
  DeleteContext();
  pending.clear();
}

}  // namespace digital_id::sspi
