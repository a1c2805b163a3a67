#include "platform/linux/tls/socket_bio.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstddef>

namespace digital_id {

namespace {

SocketBioState& StateOf(BIO* bio) {
  return *static_cast<SocketBioState*>(BIO_get_data(bio));
}

int Write(BIO* bio, const char* data, int length) {
  SocketBioState& state = StateOf(bio);
  for (;;) {
    const ssize_t sent =
        ::send(state.descriptor, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (sent >= 0) {
      return static_cast<int>(sent);
    }
    if (errno != EINTR) {
      state.failed = true;
      return -1;
    }
  }
}

int Read(BIO* bio, char* data, int length) {
  SocketBioState& state = StateOf(bio);
  for (;;) {
    const ssize_t received = ::recv(state.descriptor, data, static_cast<std::size_t>(length), 0);
    if (received > 0) {
      return static_cast<int>(received);
    }
    if (received == 0) {
      state.peerClosed = true;
      return 0;
    }
    if (errno != EINTR) {
      state.failed = true;
      return -1;
    }
  }
}

long Control(BIO* /*bio*/, int command, long /*number*/, void* /*pointer*/) {
  // Writes go straight to the socket, so a flush has nothing left to do; nothing else applies.
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

using BioMethodPtr = std::unique_ptr<BIO_METHOD, OpenSslDeleter<BIO_METHOD, BIO_meth_free>>;

// The method, made once for the process.
const BIO_METHOD* SocketMethod() {
  static const BioMethodPtr method = [] {
    const int index = BIO_get_new_index();
    BioMethodPtr made(index == -1 ? nullptr
                                  : BIO_meth_new(index | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR,
                                                 "digital-id socket"));
    if (made &&
        (BIO_meth_set_write(made.get(), Write) != 1 || BIO_meth_set_read(made.get(), Read) != 1 ||
         BIO_meth_set_ctrl(made.get(), Control) != 1)) {
      made.reset();
    }
    return made;
  }();
  return method.get();
}

}  // namespace

BioPtr NewSocketBio(SocketBioState& state) {
  const BIO_METHOD* method = SocketMethod();
  BioPtr bio(method != nullptr ? BIO_new(method) : nullptr);
  if (bio) {
    BIO_set_data(bio.get(), &state);
    BIO_set_init(bio.get(), 1);
  }
  return bio;
}

}  // namespace digital_id
