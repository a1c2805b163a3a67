#include "channel/secure_channel.h"

#include "shell/app_state.h"

namespace digital_id {

SecureChannel::~SecureChannel() {
  try {
    Release();
  } catch (...) {
    // A destructor reports nothing; the handles are gone with the process at worst.
  }
}

void SecureChannel::DeleteContext() {
  if (!contextHandle.IsSet()) {
    return;
  }
  if (SecurityInterface* table = App().securityTable.load()) {
    table->DeleteSecurityContext(&contextHandle);
  }
  contextHandle = SecHandle{};
}

void SecureChannel::Release() {
  if (credentialHandle.IsSet()) {
    if (SecurityInterface* table = App().securityTable.load()) {
      table->FreeCredentialsHandle(&credentialHandle);
    }
    credentialHandle = SecHandle{};
  }
  DeleteContext();
  if (serverSocket != kInvalidSocket) {
    if (App().platform != nullptr) {
      Services().sockets->Close(serverSocket);
    }
    serverSocket = kInvalidSocket;
  }
  pendingBytes.clear();
}

}  // namespace digital_id
