#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <memory>
#include <type_traits>

namespace digital_id {

// Releases a certificate context.
struct CertContextFree {
  void operator()(PCCERT_CONTEXT context) const { CertFreeCertificateContext(context); }
};
// An owned certificate context.
using CertContextPtr = std::unique_ptr<const CERT_CONTEXT, CertContextFree>;

// Closes a store handle, forcing the release of contexts still open on it.
struct CertStoreClose {
  void operator()(HCERTSTORE store) const { CertCloseStore(store, CERT_CLOSE_STORE_FORCE_FLAG); }
};
// An owned store handle.
using CertStorePtr = std::unique_ptr<std::remove_pointer_t<HCERTSTORE>, CertStoreClose>;

// Releases a certificate chain.
struct CertChainFree {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const { CertFreeCertificateChain(chain); }
};
// An owned certificate chain.
using CertChainPtr = std::unique_ptr<const CERT_CHAIN_CONTEXT, CertChainFree>;

// A provider context from CryptAcquireContextW, released with CryptReleaseContext.
class ProviderContext {
 public:
  ProviderContext() = default;
  ProviderContext(const ProviderContext&) = delete;
  ProviderContext& operator=(const ProviderContext&) = delete;
  ~ProviderContext() {
    if (handle_ != 0) CryptReleaseContext(handle_, 0);
  }
  // Where CryptAcquireContextW writes the handle; call on an empty owner only.
  HCRYPTPROV* Receive() { return &handle_; }
  // The handle, still owned here; 0 when none was acquired.
  HCRYPTPROV Get() const { return handle_; }

 private:
  HCRYPTPROV handle_ = 0;
};

}  // namespace digital_id
