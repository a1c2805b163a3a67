#include "client_auth_server.h"

#include <exception>

#include "openssl_error.h"
#include "socket_io.h"
#include "tls_stream.h"

namespace digital_id::test_server {

namespace {

constexpr auto kConnectionBound = std::chrono::seconds(10);
constexpr std::size_t kMaxHeadBytes = 8192;

std::string Answer(int status, const char* reason, const std::string& body) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" +
         body;
}

void Serve(UniqueFd socket, SSL_CTX* context, const StopSignal& stop, EventLog& log) {
  const auto deadline = Clock::now() + kConnectionBound;
  TlsStream stream(context, std::move(socket), stop);
  std::string error;
  if (!stream.Handshake(deadline, error)) {
    log.Event("client-auth refused");
    return;
  }
  X509* client = stream.PeerCertificate();
  const std::string subject = client != nullptr ? Rfc2253Name(X509_get_subject_name(client)) : "";
  std::string head;
  while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
    std::string record;
    if (head.size() > kMaxHeadBytes || stream.ReadRecord(record, deadline) != ReadStatus::Data) {
      log.Event("client-auth " + subject + " no-request");
      return;
    }
    head += record;
  }
  const bool isGet = head.rfind("GET ", 0) == 0;
  const std::string answer = isGet ? Answer(200, "OK", "subject: " + subject + "\n")
                                   : Answer(405, "Method Not Allowed", "Only GET is served\n");
  const bool sent = stream.WriteRecord(answer, deadline);
  log.Event("client-auth " + subject + (sent ? "" : " unsent"));
  stream.Close();
}

}  // namespace

std::string Rfc2253Name(const X509_NAME* name) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0) {
    return {};
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return length > 0 && data != nullptr ? std::string(data, static_cast<std::size_t>(length))
                                       : std::string();
}

SslCtxPtr MakeClientAuthContext(const DemoPki& pki, std::string& error) {
  SslCtxPtr context(SSL_CTX_new(TLS_server_method()));
  X509_STORE* anchors = X509_STORE_new();
  bool ready = context && anchors != nullptr &&
               SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) == 1 &&
               SSL_CTX_use_certificate(context.get(), pki.server.certificate.get()) == 1 &&
               SSL_CTX_use_PrivateKey(context.get(), pki.server.key.get()) == 1 &&
               SSL_CTX_check_private_key(context.get()) == 1 &&
               SSL_CTX_add1_chain_cert(context.get(), pki.issuingCa.certificate.get()) == 1 &&
               X509_STORE_add_cert(anchors, pki.issuingCa.certificate.get()) == 1 &&
               X509_STORE_set_flags(anchors, X509_V_FLAG_PARTIAL_CHAIN) == 1 &&
               SSL_CTX_add_client_CA(context.get(), pki.issuingCa.certificate.get()) == 1 &&
               SSL_CTX_add_client_CA(context.get(), pki.root.certificate.get()) == 1;
  if (!ready) {
    X509_STORE_free(anchors);
    error = "client-auth TLS context: " + TakeOpenSslError();
    return nullptr;
  }
  // The issuing CA alone is trusted: the chain of a client certificate must end there.
  SSL_CTX_set_cert_store(context.get(), anchors);
  SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
  SSL_CTX_set_session_cache_mode(context.get(), SSL_SESS_CACHE_OFF);
  SSL_CTX_set_num_tickets(context.get(), 0);
  SSL_CTX_set_options(context.get(), SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION);
  return context;
}

void ServeClientAuthConnection(UniqueFd socket, SSL_CTX* context, const StopSignal& stop,
                               EventLog& log) {
  try {
    Serve(std::move(socket), context, stop, log);
  } catch (const std::exception& e) {
    log.Note(std::string("client-auth connection dropped: ") + e.what());
  }
}

}  // namespace digital_id::test_server
