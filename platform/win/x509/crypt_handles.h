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

// Owns a CryptoAPI handle that is a number rather than a pointer (0 for none) and frees it with
// Release.
template <typename Handle, void (*Release)(Handle)>
class CryptHandle {
 public:
  CryptHandle() = default;
  CryptHandle(const CryptHandle&) = delete;
  CryptHandle& operator=(const CryptHandle&) = delete;
  ~CryptHandle() {
    if (handle_ != 0) Release(handle_);
  }
  // Where the acquiring function writes the handle; call on an empty owner only.
  Handle* Receive() { return &handle_; }
  // The handle, still owned here; 0 when none was acquired.
  Handle Get() const { return handle_; }

 private:
  Handle handle_ = 0;
};

// Releases a provider context.
inline void ReleaseProviderContext(HCRYPTPROV provider) {
  CryptReleaseContext(provider, 0);
}
// Destroys a hash object.
inline void DestroyHashObject(HCRYPTHASH hash) {
  CryptDestroyHash(hash);
}

// A provider context from CryptAcquireContextW, released with CryptReleaseContext.
using ProviderContext = CryptHandle<HCRYPTPROV, ReleaseProviderContext>;
// A hash object from CryptCreateHash, destroyed with CryptDestroyHash.
using HashObject = CryptHandle<HCRYPTHASH, DestroyHashObject>;

}  // namespace digital_id
