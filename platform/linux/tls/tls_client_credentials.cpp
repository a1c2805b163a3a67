#include "platform/linux/tls/tls_client_credentials.h"

#include <openssl/err.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <climits>

#include "platform/linux/system/privileged_run.h"

namespace digital_id {

namespace {

// A trust store of the system's default paths and the extra roots.
X509StorePtr BuildTrustStore(const std::vector<Bytes>& extraRoots) {
  X509StorePtr store(X509_STORE_new());
  if (!store) {
    return nullptr;
  }
  if (RunningPrivileged()) {
    // OpenSSL's default paths obey SSL_CERT_FILE and SSL_CERT_DIR, which the caller of a
    // privileged run may have set: such a run trusts the system's own places alone.
    X509_STORE_load_file(store.get(), X509_get_default_cert_file());
    X509_STORE_load_path(store.get(), X509_get_default_cert_dir());
    ERR_clear_error();
  } else if (X509_STORE_set_default_paths(store.get()) != 1) {
    return nullptr;
  }
  for (const Bytes& der : extraRoots) {
    if (der.empty() || der.size() > static_cast<std::size_t>(LONG_MAX)) {
      continue;
    }
    const unsigned char* cursor = der.data();
    X509Ptr root(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    if (!root || cursor != der.data() + der.size()) {
      continue;
    }
    // A root that is already present (from the system or twice in the stores) is accepted.
    X509_STORE_add_cert(store.get(), root.get());
  }
  return store;
}

}  // namespace

SslCtxPtr NewClientCredentials(const std::vector<Bytes>& extraRoots) {
  SslCtxPtr context(SSL_CTX_new(TLS_client_method()));
  if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
      SSL_CTX_set_max_proto_version(context.get(), TLS1_2_VERSION) != 1) {
    return nullptr;
  }
  X509StorePtr store = BuildTrustStore(extraRoots);
  if (!store) {
    return nullptr;
  }
  SSL_CTX_set_cert_store(context.get(), store.release());
  SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
  // A server's renegotiation request is refused; sessions are not resumed.
  SSL_CTX_set_options(context.get(), SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_TICKET);
  SSL_CTX_set_session_cache_mode(context.get(), SSL_SESS_CACHE_OFF);
  return context;
}

}  // namespace digital_id
