#include "platform/win/download/bind_status_callback_adapter.h"

#include <cstring>
#include <utility>

namespace digital_id {

BindStatusCallbackAdapter::~BindStatusCallbackAdapter() {
  ReleaseBinding();
}

void BindStatusCallbackAdapter::ReleaseBinding() {
  if (binding_ != nullptr) {
    std::exchange(binding_, nullptr)->Release();
  }
}

HRESULT STDMETHODCALLTYPE BindStatusCallbackAdapter::QueryInterface(REFIID /*riid*/,
                                                                    void** object) {
  if (object != nullptr) {
    *object = nullptr;
  }
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BindStatusCallbackAdapter::OnStartBinding(DWORD /*reserved*/,
                                                                    IBinding* binding) {
  ReleaseBinding();
  if (binding != nullptr) {
    binding->AddRef();
    binding_ = binding;
  }
  // A failure here may stop the binding before it starts on some engines; the binding is
  // accepted so that it runs and can be aborted later through the kept pointer.
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BindStatusCallbackAdapter::GetPriority(LONG* /*priority*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BindStatusCallbackAdapter::OnLowResource(DWORD /*reserved*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BindStatusCallbackAdapter::OnProgress(ULONG progress, ULONG progressMax,
                                                                ULONG statusCode,
                                                                LPCWSTR statusText) {
  const HResult answer = callback_.OnProgress(
      progress, progressMax, statusCode,
      statusText != nullptr ? reinterpret_cast<const char16_t*>(statusText) : nullptr);
  if (answer == kEAbort && binding_ != nullptr && !aborted_) {
    aborted_ = true;
    binding_->Abort();
  }
  return static_cast<HRESULT>(answer);
}

HRESULT STDMETHODCALLTYPE BindStatusCallbackAdapter::OnStopBinding(HRESULT /*result*/,
                                                                   LPCWSTR /*error*/) {
  ReleaseBinding();
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BindStatusCallbackAdapter::GetBindInfo(DWORD* flags, BINDINFO* info) {
  // Some engines refuse to bind without bind information: an empty one, asking for a fresh copy
  // of the content rather than a cached one.
  if (flags == nullptr || info == nullptr || info->cbSize < sizeof(info->cbSize)) {
    return E_INVALIDARG;
  }
  *flags = BINDF_GETNEWESTVERSION;
  const ULONG size = info->cbSize;
  std::memset(info, 0, size < sizeof(BINDINFO) ? size : sizeof(BINDINFO));
  info->cbSize = size;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BindStatusCallbackAdapter::OnDataAvailable(DWORD /*flags*/,
                                                                     DWORD /*size*/,
                                                                     FORMATETC* /*format*/,
                                                                     STGMEDIUM* /*medium*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BindStatusCallbackAdapter::OnObjectAvailable(REFIID /*riid*/,
                                                                       IUnknown* /*object*/) {
  return E_NOTIMPL;
}

}  // namespace digital_id
