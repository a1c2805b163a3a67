#include "tests/contracts/tls_session_contract.h"

namespace digital_id::contracts {
namespace {

TEST_P(TlsSessionContract, GoodChainIsAcceptedForItsNameAndShowsItsIssuer) {
  const std::unique_ptr<TlsSession> session = Backend().NewSession();
  ASSERT_NE(session, nullptr);
  const SocketHandle socket = Backend().Connect(TlsServerKind::Good);
  ASSERT_NE(socket, kInvalidSocket);
  const HandshakeResult result = session->Handshake(socket, Backend().ServerName());
  Backend().HandshakeEnded(result == HandshakeResult::Ok);
  ASSERT_EQ(result, HandshakeResult::Ok);
  const CertificatePtr peer = session->PeerCertificate();
  ASSERT_NE(peer, nullptr);
  EXPECT_EQ(peer->EncodedIssuer(), Backend().IssuingCaName());
}

TEST_P(TlsSessionContract, UntrustedChainIsRefused) {
  const std::unique_ptr<TlsSession> session = Backend().NewSession();
  ASSERT_NE(session, nullptr);
  const SocketHandle socket = Backend().Connect(TlsServerKind::Untrusted);
  ASSERT_NE(socket, kInvalidSocket);
  const HandshakeResult result = session->Handshake(socket, Backend().ServerName());
  Backend().HandshakeEnded(result == HandshakeResult::Ok);
  EXPECT_EQ(result, HandshakeResult::CertificateRefused);
}

TEST_P(TlsSessionContract, GoodChainForAWrongOrEmptyTargetNameIsRefused) {
  // Without a name a session would check none.
  for (const std::u16string& target : {std::u16string(u"wrong.example"), std::u16string()}) {
    const std::unique_ptr<TlsSession> session = Backend().NewSession();
    ASSERT_NE(session, nullptr);
    const SocketHandle socket = Backend().Connect(TlsServerKind::Good);
    ASSERT_NE(socket, kInvalidSocket);
    const HandshakeResult result = session->Handshake(socket, target);
    Backend().HandshakeEnded(result == HandshakeResult::Ok);
    EXPECT_EQ(result, HandshakeResult::CertificateRefused)
        << std::string(target.begin(), target.end());
  }
}

}  // namespace
}  // namespace digital_id::contracts
