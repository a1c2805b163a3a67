#pragma once

#include <windows.h>

#include <urlmon.h>

#include "platform/download.h"

namespace digital_id {

// The IBindStatusCallback that a blocking URL download calls, over the core's progress
// callback. It is not reference-counted (AddRef and Release answer 0 and free nothing): it lives
// on the stack of the download for exactly as long as the download runs.
class BindStatusCallbackAdapter : public IBindStatusCallback {
 public:
  explicit BindStatusCallbackAdapter(BindStatusCallback& callback) : callback_(callback) {}
  BindStatusCallbackAdapter(const BindStatusCallbackAdapter&) = delete;
  BindStatusCallbackAdapter& operator=(const BindStatusCallbackAdapter&) = delete;
  virtual ~BindStatusCallbackAdapter();

  // E_NOTIMPL: no interface is handed out (the out pointer is cleared, as COM requires).
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  // 0: not reference-counted.
  ULONG STDMETHODCALLTYPE AddRef() override { return 0; }
  // 0: nothing is freed.
  ULONG STDMETHODCALLTYPE Release() override { return 0; }
  // Keeps the binding so that an abort can be forced; S_OK so that the binding goes ahead.
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
  // E_NOTIMPL.
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
  // E_NOTIMPL.
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
  // Asks the core's callback; when it answers E_ABORT, also aborts the kept binding (some
  // download engines ignore E_ABORT from this slot).
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override;
  // Lets go of the kept binding; E_NOTIMPL.
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override;
  // An empty BINDINFO asking for the newest version (engines may refuse to bind without one).
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
  // E_NOTIMPL.
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                                            STGMEDIUM* medium) override;
  // E_NOTIMPL.
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* object) override;

  // True once the binding was aborted on the core's request.
  bool Aborted() const { return aborted_; }

 private:
  void ReleaseBinding();

  BindStatusCallback& callback_;
  IBinding* binding_ = nullptr;
  bool aborted_ = false;
};

}  // namespace digital_id
