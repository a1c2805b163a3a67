#include "platform/win/tls/schannel_table.h"

#include <schannel.h>

#include <vector>

#include "platform/win/tls/server_chain_check.h"
#include "platform/win/wide_text.h"
#include "platform/win/x509/cryptoapi_certificate.h"

namespace digital_id::sspi {

namespace {

::SecHandle ToNative(const SecHandle& handle) {
  ::SecHandle native{};
  native.dwLower = handle.dwLower;
  native.dwUpper = handle.dwUpper;
  return native;
}

SecHandle FromNative(const ::SecHandle& native) {
  SecHandle handle;
  handle.dwLower = native.dwLower;
  handle.dwUpper = native.dwUpper;
  return handle;
}

// The core's buffer list as the package's, copied back after the call.
class NativeBufferList {
 public:
  explicit NativeBufferList(SecBufferDesc* list) : list_(list) {
    if (list_ == nullptr) {
      return;
    }
    buffers_.resize(list_->cBuffers);
    for (std::uint32_t i = 0; i < list_->cBuffers; ++i) {
      buffers_[i].cbBuffer = list_->pBuffers[i].cbBuffer;
      buffers_[i].BufferType = list_->pBuffers[i].BufferType;
      buffers_[i].pvBuffer = list_->pBuffers[i].pvBuffer;
    }
    native_.ulVersion = list_->ulVersion;
    native_.cBuffers = list_->cBuffers;
    native_.pBuffers = buffers_.data();
  }
  NativeBufferList(const NativeBufferList&) = delete;
  NativeBufferList& operator=(const NativeBufferList&) = delete;

  // The list to hand to the package; null when the core gave none.
  ::SecBufferDesc* Get() { return list_ != nullptr ? &native_ : nullptr; }

  // Writes sizes, types and pointers the package changed back into the core's list.
  void CopyBack() {
    if (list_ == nullptr) {
      return;
    }
    for (std::uint32_t i = 0; i < list_->cBuffers; ++i) {
      list_->pBuffers[i].cbBuffer = buffers_[i].cbBuffer;
      list_->pBuffers[i].BufferType = buffers_[i].BufferType;
      list_->pBuffers[i].pvBuffer = buffers_[i].pvBuffer;
    }
  }

 private:
  SecBufferDesc* list_;
  std::vector<::SecBuffer> buffers_;
  ::SecBufferDesc native_{};
};

}  // namespace

SecStatus SchannelTable::AcquireCredentialsHandle(std::uint32_t enabledProtocols,
                                                  std::uint32_t flags, SecHandle* credential) {
  SCHANNEL_CRED schannelCred{};
  schannelCred.dwVersion = SCHANNEL_CRED_VERSION;
  schannelCred.grbitEnabledProtocols = enabledProtocols;
  schannelCred.dwFlags = flags;
  wchar_t package[] = UNISP_NAME_W;
  ::CredHandle handle{};
  const SECURITY_STATUS status =
      table_->AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr,
                                        &schannelCred, nullptr, nullptr, &handle, nullptr);
  if (credential != nullptr) {
    *credential = status == SEC_E_OK ? FromNative(handle) : SecHandle{};
  }
  return status;
}

SecStatus SchannelTable::InitializeSecurityContext(SecHandle* credential, SecHandle* context,
                                                   const std::u16string& targetName,
                                                   std::uint32_t requirements, SecBufferDesc* input,
                                                   SecHandle* newContext, SecBufferDesc* output,
                                                   std::uint32_t* attributes) {
  ::CredHandle nativeCredential = ToNative(credential != nullptr ? *credential : SecHandle{});
  ::CtxtHandle existing = ToNative(context != nullptr ? *context : SecHandle{});
  ::CtxtHandle created{};
  std::wstring target = ToWide(targetName);
  NativeBufferList in(input);
  NativeBufferList out(output);
  ULONG nativeAttributes = 0;
  SECURITY_STATUS status = table_->InitializeSecurityContextW(
      &nativeCredential, context != nullptr ? &existing : nullptr,
      target.empty() ? nullptr : target.data(), requirements, 0, SECURITY_NATIVE_DREP, in.Get(), 0,
      newContext != nullptr ? &created : nullptr, out.Get(), &nativeAttributes, nullptr);
  in.CopyBack();
  out.CopyBack();
  if (newContext != nullptr) {
    *newContext = FromNative(created);
  }
  if (attributes != nullptr) {
    *attributes = nativeAttributes;
  }
  if (status != SEC_E_OK) {
    return status;
  }
  const SecStatus verified =
      VerifyCompletedHandshake(context != nullptr ? &existing : &created, target);
  if (verified != kSecEOk) {
    // Nothing of a refused handshake goes to the server.
    if (output != nullptr) {
      for (std::uint32_t i = 0; i < output->cBuffers; ++i) {
        SecBuffer& buffer = output->pBuffers[i];
        if (buffer.BufferType == kSecBufferToken && buffer.pvBuffer != nullptr) {
          table_->FreeContextBuffer(buffer.pvBuffer);
          buffer.pvBuffer = nullptr;
          buffer.cbBuffer = 0;
        }
      }
    }
    if (attributes != nullptr) {
      *attributes &= ~static_cast<std::uint32_t>(ISC_RET_EXTENDED_ERROR);
    }
  }
  return verified;
}

SecStatus SchannelTable::VerifyCompletedHandshake(::CtxtHandle* context,
                                                  const std::wstring& targetName) {
  PCCERT_CONTEXT remote = nullptr;
  if (table_->QueryContextAttributesW(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote) !=
          SEC_E_OK ||
      remote == nullptr) {
    return kSecECertUnknown;
  }
  const CertContextPtr server(remote);
  return VerifyServerChain(server.get(), targetName);
}

SecStatus SchannelTable::FreeContextBuffer(void* buffer) {
  return table_->FreeContextBuffer(buffer);
}

SecStatus SchannelTable::DeleteSecurityContext(SecHandle* context) {
  ::CtxtHandle native = ToNative(*context);
  return table_->DeleteSecurityContext(&native);
}

SecStatus SchannelTable::FreeCredentialsHandle(SecHandle* credential) {
  ::CredHandle native = ToNative(*credential);
  return table_->FreeCredentialsHandle(&native);
}

SecStatus SchannelTable::QueryRemoteCertificate(SecHandle* context, CertificatePtr& certificate) {
  ::CtxtHandle native = ToNative(*context);
  PCCERT_CONTEXT remote = nullptr;
  const SECURITY_STATUS status =
      table_->QueryContextAttributesW(&native, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote);
  certificate.reset();
  if (status == SEC_E_OK && remote != nullptr) {
    certificate = std::make_unique<CryptoApiCertificate>(CertContextPtr(remote));
  }
  return status;
}

SecStatus SchannelTable::QueryStreamSizes(SecHandle* context, StreamSizes* sizes) {
  ::CtxtHandle native = ToNative(*context);
  SecPkgContext_StreamSizes nativeSizes{};
  const SECURITY_STATUS status =
      table_->QueryContextAttributesW(&native, SECPKG_ATTR_STREAM_SIZES, &nativeSizes);
  if (status == SEC_E_OK && sizes != nullptr) {
    sizes->cbHeader = nativeSizes.cbHeader;
    sizes->cbTrailer = nativeSizes.cbTrailer;
    sizes->cbMaximumMessage = nativeSizes.cbMaximumMessage;
    sizes->cBuffers = nativeSizes.cBuffers;
    sizes->cbBlockSize = nativeSizes.cbBlockSize;
  }
  return status;
}

SecStatus SchannelTable::EncryptMessage(SecHandle* context, std::uint32_t qualityOfProtection,
                                        SecBufferDesc* message, std::uint32_t sequenceNumber) {
  ::CtxtHandle native = ToNative(*context);
  NativeBufferList buffers(message);
  const SECURITY_STATUS status =
      table_->EncryptMessage(&native, qualityOfProtection, buffers.Get(), sequenceNumber);
  buffers.CopyBack();
  return status;
}

SecStatus SchannelTable::DecryptMessage(SecHandle* context, SecBufferDesc* message,
                                        std::uint32_t sequenceNumber,
                                        std::uint32_t* qualityOfProtection) {
  ::CtxtHandle native = ToNative(*context);
  NativeBufferList buffers(message);
  ULONG quality = 0;
  const SECURITY_STATUS status =
      table_->DecryptMessage(&native, buffers.Get(), sequenceNumber, &quality);
  buffers.CopyBack();
  if (qualityOfProtection != nullptr) {
    *qualityOfProtection = quality;
  }
  return status;
}

}  // namespace digital_id::sspi
