#include "platform/win/sspi/sspi_tls_session.h"

#include <string>
#include <utility>

#include "platform/win/sspi/sspi_handshake.h"
#include "platform/win/sspi/sspi_records.h"

namespace digital_id::sspi {

HandshakeResult HandshakeResultOf(SecStatus status) {
  switch (status) {
    case kSecEOk:
      return HandshakeResult::Ok;
    case kSecEUntrustedRoot:
    case kSecEWrongPrincipal:
    case kSecECertExpired:
    case kSecECertUnknown:
      return HandshakeResult::CertificateRefused;
    default:
      return HandshakeResult::Failed;
  }
}

SspiTlsSession::SspiTlsSession(std::shared_ptr<SspiTable> table, Sockets& sockets)
    : table_(std::move(table)), channel_{*table_, sockets, kInvalidSocket, {}, {}, {}} {}

SspiTlsSession::~SspiTlsSession() {
  Close();
}

HandshakeResult SspiTlsSession::Handshake(SocketHandle socket, const std::u16string& targetName) {
  channel_.Release();  // nothing of an earlier attempt is left behind
  channel_.socket = socket;
  // Without a name the package checks none at all, and a name with a NUL in it is checked only
  // up to the NUL: neither can authenticate a server.
  if (targetName.empty() || targetName.find(u'\0') != std::u16string::npos) {
    return HandshakeResult::CertificateRefused;
  }
  // No client certificate is ever sent: without kSchCredNoDefaultCreds the package would pick
  // one from the user's store by itself when a server asks for one, and might prompt for its
  // key. The status is not looked at: credentials that could not be acquired fail the first
  // call.
  table_->AcquireCredentialsHandle(kSpProtTls12Client,
                                   kSchCredNoDefaultCreds | kSchCredAutoCredValidation,
                                   &channel_.credential);
  return HandshakeResultOf(RunHandshake(channel_, targetName));
}

CertificatePtr SspiTlsSession::PeerCertificate() {
  CertificatePtr certificate;
  if (channel_.context.IsSet()) {
    // The status is not looked at: without a certificate there is nothing to give.
    table_->QueryRemoteCertificate(&channel_.context, certificate);
  }
  return certificate;
}

SendResult SspiTlsSession::Send(std::span<const std::uint8_t> message) {
  return channel_.context.IsSet() ? SendRecord(channel_, message) : SendResult::EncryptFailed;
}

ReceiveResult SspiTlsSession::Receive(Bytes& message) {
  message.clear();
  return channel_.context.IsSet() ? ReceiveRecord(channel_, message) : ReceiveResult::Unreadable;
}

void SspiTlsSession::Close() {
  channel_.Release();
}

}  // namespace digital_id::sspi
