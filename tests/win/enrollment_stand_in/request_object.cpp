// CX509CertificateRequestPkcs10: a PKCS #10 request initialised from a private-key object for a
// context whose key set matches the key's.
#include <memory>
#include <string>
#include <utility>

#include "platform/win/enrollment/certenroll_interfaces.h"
#include "platform/win/system/com_ptr.h"
#include "tests/win/enrollment_stand_in/allocation_audit.h"
#include "tests/win/enrollment_stand_in/com_object_macros.h"
#include "tests/win/enrollment_stand_in/misuse_report.h"
#include "tests/win/enrollment_stand_in/object_factories.h"
#include "tests/win/enrollment_stand_in/stand_in_interfaces.h"

namespace digital_id::stand_in {

namespace {

class RequestObject final : public certenroll::IX509CertificateRequestPkcs10,
                            public IStandInRequest,
                            private ObjectLifetime {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, certenroll::kIidRequestPkcs10)) {
      *object = static_cast<certenroll::IX509CertificateRequestPkcs10*>(this);
    } else if (IsEqualIID(iid, kIidStandInRequest)) {
      *object = static_cast<IStandInRequest*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddReference();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = DropReference();
    if (left == 0) {
      // The last reference owned the object.
      const std::unique_ptr<RequestObject> last(this);
    }
    return left;
  }
  STAND_IN_NO_AUTOMATION

  HRESULT STDMETHODCALLTYPE InitializeFromPrivateKey(LONG context,
                                                     certenroll::IX509PrivateKey* privateKey,
                                                     BSTR templateName) override {
    static constexpr wchar_t kCall[] = L"IX509CertificateRequestPkcs10::InitializeFromPrivateKey";
    if (!OnOwnThread(kCall)) {
      return RPC_E_WRONG_THREAD;
    }
    if (context_ != 0) {
      return Misuse(HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED),
                    L"InitializeFromPrivateKey on a request already initialised");
    }
    if (context != 1 && context != 2) {
      return Misuse(E_INVALIDARG,
                    L"InitializeFromPrivateKey with a context other than "
                    L"ContextUser or ContextMachine");
    }
    if (privateKey == nullptr) {
      return Misuse(E_POINTER, L"InitializeFromPrivateKey without a private key");
    }
    if (templateName != nullptr) {
      WatchCallerString(templateName, kCall);
      return Misuse(E_NOTIMPL,
                    L"InitializeFromPrivateKey with a template, which the "
                    L"enrollment stand-in does not provide");
    }
    ComPtr<IStandInKey> key;
    if (FAILED(privateKey->QueryInterface(kIidStandInKey, key.ReceiveVoid()))) {
      return Misuse(E_INVALIDARG,
                    L"InitializeFromPrivateKey with a key that is not a CX509PrivateKey");
    }
    if (key->Machine() != (context == 2)) {
      return Misuse(E_INVALIDARG, context == 2 ? L"a request in the machine context for a key "
                                                 L"of the user's key set"
                                               : L"a request in the user context for a key of "
                                                 L"the machine's key set");
    }
    key_ = std::move(key);
    context_ = context;
    return S_OK;
  }

  LONG STDMETHODCALLTYPE Context() override { return context_; }
  IStandInKey* STDMETHODCALLTYPE Key() override { return key_.Get(); }

  STAND_IN_UNUSED(Initialize)
  STAND_IN_UNUSED(Encode)
  STAND_IN_UNUSED(ResetForEncode)
  STAND_IN_UNUSED(GetInnerRequest)
  STAND_IN_UNUSED(get_Type)
  STAND_IN_UNUSED(get_EnrollmentContext)
  STAND_IN_UNUSED(get_Silent)
  STAND_IN_UNUSED(put_Silent)
  STAND_IN_UNUSED(get_ParentWindow)
  STAND_IN_UNUSED(put_ParentWindow)
  STAND_IN_UNUSED(get_UIContextMessage)
  STAND_IN_UNUSED(put_UIContextMessage)
  STAND_IN_UNUSED(get_SuppressDefaults)
  STAND_IN_UNUSED(put_SuppressDefaults)
  STAND_IN_UNUSED(get_RenewalCertificate)
  STAND_IN_UNUSED(put_RenewalCertificate)
  STAND_IN_UNUSED(get_ClientId)
  STAND_IN_UNUSED(put_ClientId)
  STAND_IN_UNUSED(get_CspInformations)
  STAND_IN_UNUSED(put_CspInformations)
  STAND_IN_UNUSED(get_HashAlgorithm)
  STAND_IN_UNUSED(put_HashAlgorithm)
  STAND_IN_UNUSED(get_AlternateSignatureAlgorithm)
  STAND_IN_UNUSED(put_AlternateSignatureAlgorithm)
  STAND_IN_UNUSED(get_RawData)
  STAND_IN_UNUSED(InitializeFromTemplateName)

 private:
  LONG context_ = 0;
  ComPtr<IStandInKey> key_;
};

}  // namespace

HRESULT CreateRequestObject(REFIID iid, void** object) {
  auto created = std::make_unique<RequestObject>();
  const HRESULT result = created->QueryInterface(iid, object);
  // The creator's reference goes: on success the caller's reference keeps the object.
  created.release()->Release();
  return result;
}

}  // namespace digital_id::stand_in
