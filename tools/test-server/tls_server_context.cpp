#include "tls_server_context.h"

#include "openssl_error.h"

namespace digital_id::test_server {

SslCtxPtr MakeTlsServerContext(const CertifiedKey& server, const std::vector<X509*>& chain,
                               std::string& error, int minorVersion) {
  static constexpr int kVersions[] = {TLS1_VERSION, TLS1_1_VERSION, TLS1_2_VERSION, TLS1_3_VERSION};
  if (minorVersion < 0 || minorVersion > 3) {
    error = "TLS context: no such version";
    return nullptr;
  }
  const int version = kVersions[minorVersion];
  SslCtxPtr context(SSL_CTX_new(TLS_server_method()));
  if (context && version < TLS1_2_VERSION) {
    // The old versions sign with SHA-1 and MD5, which any higher security level forbids.
    SSL_CTX_set_security_level(context.get(), 0);
    SSL_CTX_set_cipher_list(context.get(), "DEFAULT:@SECLEVEL=0");
  }
  bool ready = context && SSL_CTX_set_min_proto_version(context.get(), version) == 1 &&
               SSL_CTX_set_max_proto_version(context.get(), version) == 1 &&
               SSL_CTX_use_certificate(context.get(), server.certificate.get()) == 1 &&
               SSL_CTX_use_PrivateKey(context.get(), server.key.get()) == 1 &&
               SSL_CTX_check_private_key(context.get()) == 1;
  for (X509* certificate : chain) {
    ready = ready && SSL_CTX_add1_chain_cert(context.get(), certificate) == 1;
  }
  if (!ready) {
    error = "TLS context: " + TakeOpenSslError();
    return nullptr;
  }
  // Each message is one record, and a record is read only when whole.
  SSL_CTX_clear_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE);
  SSL_CTX_set_read_ahead(context.get(), 0);
  SSL_CTX_set_verify(context.get(), SSL_VERIFY_NONE, nullptr);
  SSL_CTX_set_session_cache_mode(context.get(), SSL_SESS_CACHE_OFF);
  SSL_CTX_set_options(context.get(), SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION);
  return context;
}

bool AskForOptionalClientCertificate(SSL_CTX* context, const std::vector<X509*>& authorities,
                                     std::string& error) {
  for (X509* authority : authorities) {
    if (SSL_CTX_add_client_CA(context, authority) != 1) {
      error = "TLS context: " + TakeOpenSslError();
      return false;
    }
  }
  // The certificate is only looked at, never verified: the log tells whether one came.
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, [](int, X509_STORE_CTX*) { return 1; });
  return true;
}

}  // namespace digital_id::test_server
