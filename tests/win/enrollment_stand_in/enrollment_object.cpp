// CX509Enrollment: initialised either from a request, to make the encoded request and record
// it as pending, or for a context, to install the response to a pending request.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/enrollment/certenroll_interfaces.h"
#include "platform/win/system/com_ptr.h"
#include "tests/win/enrollment_stand_in/allocation_audit.h"
#include "tests/win/enrollment_stand_in/com_object_macros.h"
#include "tests/win/enrollment_stand_in/misuse_report.h"
#include "tests/win/enrollment_stand_in/object_factories.h"
#include "tests/win/enrollment_stand_in/pending_requests.h"
#include "tests/win/enrollment_stand_in/pkcs10_request.h"
#include "tests/win/enrollment_stand_in/stand_in_interfaces.h"

namespace digital_id::stand_in {

namespace {

constexpr LONG kAllowUntrustedRoot = 4;

// The EncodingType values CreateRequest and InstallResponse take: those of CryptBinaryToString
// (XCN_CRYPT_STRING_BASE64HEADER 0, BASE64 1, BASE64REQUESTHEADER 3, BASE64_ANY 6).
bool IsTextEncoding(LONG encoding) {
  return encoding == CRYPT_STRING_BASE64HEADER || encoding == CRYPT_STRING_BASE64 ||
         encoding == CRYPT_STRING_BASE64REQUESTHEADER;
}

HRESULT LastError() {
  const DWORD error = GetLastError();
  return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

class EnrollmentObject final : public certenroll::IX509Enrollment, private ObjectLifetime {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) &&
        !IsEqualIID(iid, certenroll::kIidEnrollment)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<certenroll::IX509Enrollment*>(this);
    AddReference();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = DropReference();
    if (left == 0) {
      // The last reference owned the object.
      const std::unique_ptr<EnrollmentObject> last(this);
    }
    return left;
  }
  STAND_IN_NO_AUTOMATION

  HRESULT STDMETHODCALLTYPE put_CertificateDescription(BSTR value) override {
    static constexpr wchar_t kCall[] = L"IX509Enrollment::put_CertificateDescription";
    if (!OnOwnThread(kCall)) {
      return RPC_E_WRONG_THREAD;
    }
    WatchCallerString(value, kCall);
    description_ = value == nullptr ? std::wstring() : std::wstring(value, SysStringLen(value));
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Initialize(LONG context) override {
    if (!OnOwnThread(L"IX509Enrollment::Initialize")) {
      return RPC_E_WRONG_THREAD;
    }
    if (context_ != 0) {
      return Misuse(HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED),
                    L"IX509Enrollment::Initialize on an enrollment already initialised");
    }
    if (context != 1 && context != 2) {
      return Misuse(E_INVALIDARG,
                    L"IX509Enrollment::Initialize with a context other than "
                    L"ContextUser or ContextMachine");
    }
    context_ = context;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE
  InitializeFromRequest(certenroll::IX509CertificateRequest* request) override {
    if (!OnOwnThread(L"IX509Enrollment::InitializeFromRequest")) {
      return RPC_E_WRONG_THREAD;
    }
    if (context_ != 0) {
      return Misuse(HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED),
                    L"IX509Enrollment::InitializeFromRequest on an enrollment already "
                    L"initialised");
    }
    if (request == nullptr) {
      return Misuse(E_POINTER, L"IX509Enrollment::InitializeFromRequest without a request");
    }
    ComPtr<IStandInRequest> made;
    if (FAILED(request->QueryInterface(kIidStandInRequest, made.ReceiveVoid()))) {
      return Misuse(E_INVALIDARG,
                    L"IX509Enrollment::InitializeFromRequest with a request that "
                    L"is not a CX509CertificateRequestPkcs10");
    }
    if (made->Context() == 0) {
      return Misuse(OLE_E_BLANK,
                    L"IX509Enrollment::InitializeFromRequest with a request that "
                    L"was never initialised");
    }
    context_ = made->Context();
    request_ = std::move(made);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CreateRequest(LONG encoding, BSTR* value) override {
    static constexpr wchar_t kCall[] = L"IX509Enrollment::CreateRequest";
    if (!OnOwnThread(kCall)) {
      return RPC_E_WRONG_THREAD;
    }
    if (value == nullptr) {
      return Misuse(E_POINTER, L"IX509Enrollment::CreateRequest without a place for the request");
    }
    *value = nullptr;
    if (!request_) {
      return Misuse(OLE_E_BLANK, L"IX509Enrollment::CreateRequest before InitializeFromRequest");
    }
    if (requestCreated_) {
      return Misuse(HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED),
                    L"IX509Enrollment::CreateRequest twice on one enrollment");
    }
    if (!IsTextEncoding(encoding)) {
      return Misuse(E_NOTIMPL,
                    L"IX509Enrollment::CreateRequest with an encoding other than "
                    L"Base64, which the enrollment stand-in does not provide");
    }
    IStandInKey* key = request_->Key();
    if (const HRESULT created = key->EnsureCreated(); FAILED(created)) {
      return created;
    }
    HRESULT result = S_OK;
    const std::vector<BYTE> der = SignedRequest(*key->Pair(), szOID_RSA_SHA256RSA, result);
    if (FAILED(result)) {
      return result;
    }
    if (result = RecordPendingRequest(*key->Pair(), LocationOf(context_)); FAILED(result)) {
      return result;
    }
    DWORD characters = 0;
    if (CryptBinaryToStringW(der.data(), static_cast<DWORD>(der.size()),
                             static_cast<DWORD>(encoding), nullptr, &characters) == FALSE) {
      return LastError();
    }
    std::wstring text(characters, L'\0');
    if (CryptBinaryToStringW(der.data(), static_cast<DWORD>(der.size()),
                             static_cast<DWORD>(encoding), text.data(), &characters) == FALSE) {
      return LastError();
    }
    text.resize(characters);
    *value = AllocateCallerString(text.data(), static_cast<UINT>(text.size()), kCall);
    requestCreated_ = *value != nullptr;
    return *value != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT STDMETHODCALLTYPE InstallResponse(LONG restrictions, BSTR response, LONG encoding,
                                            BSTR password) override {
    static constexpr wchar_t kCall[] = L"IX509Enrollment::InstallResponse";
    if (!OnOwnThread(kCall)) {
      return RPC_E_WRONG_THREAD;
    }
    WatchCallerString(response, kCall);
    WatchCallerString(password, kCall);
    if (context_ == 0) {
      return Misuse(OLE_E_BLANK, L"IX509Enrollment::InstallResponse before Initialize");
    }
    if (restrictions != certenroll::kAllowUntrustedCertificate &&
        restrictions != kAllowUntrustedRoot) {
      return Misuse(E_NOTIMPL,
                    L"IX509Enrollment::InstallResponse with restrictions other than "
                    L"AllowUntrustedCertificate or AllowUntrustedRoot, which the "
                    L"enrollment stand-in does not provide");
    }
    if (!IsTextEncoding(encoding) && encoding != CRYPT_STRING_BASE64_ANY) {
      return Misuse(E_NOTIMPL,
                    L"IX509Enrollment::InstallResponse with an encoding other than "
                    L"Base64, which the enrollment stand-in does not provide");
    }
    const UINT length = response == nullptr ? 0 : SysStringLen(response);
    DWORD size = 0;
    if (length == 0 || CryptStringToBinaryW(response, length, static_cast<DWORD>(encoding), nullptr,
                                            &size, nullptr, nullptr) == FALSE) {
      return length == 0 ? CRYPT_E_NOT_FOUND : LastError();
    }
    std::vector<BYTE> der(size);
    if (CryptStringToBinaryW(response, length, static_cast<DWORD>(encoding), der.data(), &size,
                             nullptr, nullptr) == FALSE) {
      return LastError();
    }
    der.resize(size);
    const DWORD location = LocationOf(context_);
    // Without AllowUntrustedRoot the chain must end in a root the context already trusts.
    return stand_in::InstallResponse(
        der, {location, location, location, location},
        {RootPlacement::CaStore, false, restrictions != kAllowUntrustedRoot}, description_);
  }

  STAND_IN_UNUSED(InitializeFromTemplateName)
  STAND_IN_UNUSED(Enroll)
  STAND_IN_UNUSED(CreatePFX)
  STAND_IN_UNUSED(get_Request)
  STAND_IN_UNUSED(get_Silent)
  STAND_IN_UNUSED(put_Silent)
  STAND_IN_UNUSED(get_ParentWindow)
  STAND_IN_UNUSED(put_ParentWindow)
  STAND_IN_UNUSED(get_NameValuePairs)
  STAND_IN_UNUSED(get_EnrollmentContext)
  STAND_IN_UNUSED(get_Status)
  STAND_IN_UNUSED(get_Certificate)
  STAND_IN_UNUSED(get_Response)
  STAND_IN_UNUSED(get_CertificateFriendlyName)
  STAND_IN_UNUSED(put_CertificateFriendlyName)
  STAND_IN_UNUSED(get_CertificateDescription)

 private:
  LONG context_ = 0;  // set by Initialize or InitializeFromRequest
  ComPtr<IStandInRequest> request_;
  bool requestCreated_ = false;
  std::wstring description_;
};

}  // namespace

HRESULT CreateEnrollmentObject(REFIID iid, void** object) {
  auto created = std::make_unique<EnrollmentObject>();
  const HRESULT result = created->QueryInterface(iid, object);
  // The creator's reference goes: on success the caller's reference keeps the object.
  created.release()->Release();
  return result;
}

}  // namespace digital_id::stand_in
