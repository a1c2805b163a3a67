#include "core/channel/secure_channel.h"

#include "core/shell/app_state.h"

namespace digital_id {

SecureChannel::~SecureChannel() {
  try {
    Release();
  } catch (...) {
    // A destructor reports nothing; the socket is gone with the process at worst.
  }
}

void SecureChannel::Release() {
  if (session) {
    session->Close();
    session.reset();
  }
  if (serverSocket != kInvalidSocket) {
    if (App().platform != nullptr) {
      Services().sockets->Close(serverSocket);
    }
    serverSocket = kInvalidSocket;
  }
}

}  // namespace digital_id
