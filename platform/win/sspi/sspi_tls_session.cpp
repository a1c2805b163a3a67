#include "platform/win/sspi/sspi_tls_session.h"

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
  // The status is not looked at: credentials that could not be acquired fail the first call.
  table_->AcquireCredentialsHandle(kSpProtTls12, kSchCredAutoCredValidation, &channel_.credential);
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
