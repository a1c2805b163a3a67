// CEnroll through IEnroll4, the legacy enrollment control. The toolchain declares IEnroll4 with
// about 130 methods, of which the program calls eleven; the object is therefore built on the
// interface's C declaration (CINTERFACE), filling the eleven slots and IUnknown's. The slots left
// empty are never called by the program: a call to one ends the process, failing the run.
#define CINTERFACE
#include <windows.h>

#include <objbase.h>
#include <wincrypt.h>
#include <xenroll.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/win/enrollment_stand_in/allocation_audit.h"
#include "tests/win/enrollment_stand_in/key_pair.h"
#include "tests/win/enrollment_stand_in/misuse_report.h"
#include "tests/win/enrollment_stand_in/object_factories.h"
#include "tests/win/enrollment_stand_in/object_lifetime.h"
#include "tests/win/enrollment_stand_in/pending_requests.h"
#include "tests/win/enrollment_stand_in/pkcs10_request.h"

namespace digital_id::stand_in {

namespace {

constexpr DWORD kLocationMask = CERT_SYSTEM_STORE_LOCATION_MASK;

// The store location of a store-flags value; 0 when it names neither the user nor the machine.
DWORD LocationOfFlags(LONG flags) {
  const DWORD location = static_cast<DWORD>(flags) & kLocationMask;
  return location == CERT_SYSTEM_STORE_CURRENT_USER || location == CERT_SYSTEM_STORE_LOCAL_MACHINE
             ? location
             : 0;
}

HRESULT LastError() {
  const DWORD error = GetLastError();
  return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// The four stores whose location the program sets.
enum class Store { My, Ca, Root, Request };

class LegacyEnroll;

// What the caller holds: the C interface, followed by the way back to its control.
struct ControlInterface {
  IEnroll4 base;
  LegacyEnroll* control;
};

class LegacyEnroll final : private ObjectLifetime {
 public:
  LegacyEnroll();
  ~LegacyEnroll() {
    for (void* text : strings_) {
      FreeObjectMemory(text);
    }
  }

  // The control behind an interface pointer it handed out (the interface is the first member
  // of a standard-layout ControlInterface).
  static LegacyEnroll* Of(IEnroll4* self) {
    return reinterpret_cast<ControlInterface*>(self)->control;
  }
  IEnroll4* Interface() { return &com_.base; }

  HRESULT QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (!IsLegacyEnrollInterface(iid)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = Interface();
    AddReference();
    return S_OK;
  }
  ULONG AddRef() { return AddReference(); }
  ULONG Release() {
    const ULONG left = DropReference();
    if (left == 0) {
      // The last reference owned the object.
      const std::unique_ptr<LegacyEnroll> last(this);
    }
    return left;
  }

  HRESULT PutProviderName(LPWSTR name) {
    if (const HRESULT settable = Settable(L"IEnroll4::put_ProviderNameWStr"); FAILED(settable)) {
      return settable;
    }
    if (name == nullptr) {
      return Misuse(E_POINTER, L"IEnroll4::put_ProviderNameWStr without a name");
    }
    provider_ = name;
    return S_OK;
  }
  HRESULT PutKeySpec(LONG keyType) {
    if (const HRESULT settable = Settable(L"IEnroll4::put_KeySpec"); FAILED(settable)) {
      return settable;
    }
    if (keyType != AT_KEYEXCHANGE && keyType != AT_SIGNATURE) {
      return Misuse(
          E_INVALIDARG,
          L"IEnroll4::put_KeySpec with a key type other than AT_KEYEXCHANGE or AT_SIGNATURE");
    }
    keySpec_ = static_cast<DWORD>(keyType);
    return S_OK;
  }
  HRESULT PutGenKeyFlags(LONG flags) {
    if (const HRESULT settable = Settable(L"IEnroll4::put_GenKeyFlags"); FAILED(settable)) {
      return settable;
    }
    generateFlags_ = static_cast<DWORD>(flags);
    return S_OK;
  }
  HRESULT PutProviderFlags(LONG flags) {
    if (const HRESULT settable = Settable(L"IEnroll4::put_ProviderFlags"); FAILED(settable)) {
      return settable;
    }
    if ((static_cast<DWORD>(flags) & ~static_cast<DWORD>(CRYPT_MACHINE_KEYSET)) != 0) {
      return Misuse(E_INVALIDARG,
                    L"IEnroll4::put_ProviderFlags with flags other than CRYPT_MACHINE_KEYSET, "
                    L"which the enrollment stand-in does not provide");
    }
    providerFlags_ = static_cast<DWORD>(flags);
    return S_OK;
  }
  HRESULT PutStoreFlags(Store store, LONG flags) {
    const wchar_t* call = store == Store::My        ? L"IEnroll4::put_MyStoreFlags"
                          : store == Store::Ca      ? L"IEnroll4::put_CAStoreFlags"
                          : store == Store::Request ? L"IEnroll4::put_RequestStoreFlags"
                                                    : L"IEnroll4::put_RootStoreFlags";
    if (!OnOwnThread(call)) {
      return RPC_E_WRONG_THREAD;
    }
    if (LocationOfFlags(flags) == 0) {
      return Misuse(E_INVALIDARG, (std::wstring(call) + L" with a location other than the "
                                                        L"current user or the local machine")
                                      .c_str());
    }
    LocationOf(store) = LocationOfFlags(flags);
    return S_OK;
  }

  HRESULT CreateRequest(LONG flags, LPCWSTR subject, LPCWSTR usage, PCRYPT_DATA_BLOB request) {
    static constexpr wchar_t kCall[] = L"IEnroll4::createRequestWStr";
    if (!OnOwnThread(kCall)) {
      return RPC_E_WRONG_THREAD;
    }
    if (request == nullptr) {
      return Misuse(E_POINTER, L"IEnroll4::createRequestWStr without a blob for the request");
    }
    *request = CRYPT_DATA_BLOB{};
    if (key_) {
      return Misuse(HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED),
                    L"IEnroll4::createRequestWStr twice on one control");
    }
    if (flags != XECR_PKCS10_V2_0 && flags != XECR_PKCS10_V1_5) {
      return Misuse(E_NOTIMPL,
                    L"IEnroll4::createRequestWStr for a request other than PKCS #10, "
                    L"which the enrollment stand-in does not provide");
    }
    if ((subject != nullptr && *subject != L'\0') || (usage != nullptr && *usage != L'\0')) {
      return Misuse(E_NOTIMPL,
                    L"IEnroll4::createRequestWStr with a subject or usage, which the "
                    L"enrollment stand-in does not provide");
    }
    // The key set comes from the provider flags, the pending request goes to the REQUEST store
    // of the request store flags; both default to the user's.
    HRESULT result = S_OK;
    key_ =
        KeyPair::Generate({provider_.c_str(), PROV_RSA_FULL,
                           (providerFlags_ & CRYPT_MACHINE_KEYSET) != 0, keySpec_, generateFlags_},
                          result);
    if (!key_) {
      return result;
    }
    const std::vector<BYTE> der = SignedRequest(*key_, szOID_RSA_SHA1RSA, result);
    if (FAILED(result)) {
      return result;
    }
    if (result = RecordPendingRequest(*key_, requestLocation_); FAILED(result)) {
      return result;
    }
    void* data = AllocateTaskMemory(der.size(), Owner::Caller, kCall);
    if (data == nullptr) {
      return E_OUTOFMEMORY;
    }
    std::copy(der.begin(), der.end(), static_cast<BYTE*>(data));
    request->cbData = static_cast<DWORD>(der.size());
    request->pbData = static_cast<BYTE*>(data);
    return S_OK;
  }

  // The control keeps the string: no allocator is documented for the caller to free it with.
  HRESULT BinaryToString(LONG flags, PCRYPT_DATA_BLOB binary, LPWSTR* text) {
    static constexpr wchar_t kCall[] = L"IEnroll4::binaryBlobToString";
    if (!OnOwnThread(kCall)) {
      return RPC_E_WRONG_THREAD;
    }
    if (binary == nullptr || text == nullptr) {
      return Misuse(E_POINTER,
                    L"IEnroll4::binaryBlobToString without a blob or a place for "
                    L"the string");
    }
    *text = nullptr;
    DWORD characters = 0;
    if (CryptBinaryToStringW(binary->pbData, binary->cbData, static_cast<DWORD>(flags), nullptr,
                             &characters) == FALSE) {
      return LastError();
    }
    void* memory = AllocateTaskMemory(characters * sizeof(wchar_t), Owner::Object, kCall);
    if (memory == nullptr) {
      return E_OUTOFMEMORY;
    }
    strings_.push_back(memory);
    if (CryptBinaryToStringW(binary->pbData, binary->cbData, static_cast<DWORD>(flags),
                             static_cast<LPWSTR>(memory), &characters) == FALSE) {
      return LastError();
    }
    *text = static_cast<LPWSTR>(memory);
    return S_OK;
  }

  HRESULT AcceptResponse(PCRYPT_DATA_BLOB response) {
    if (!OnOwnThread(L"IEnroll4::acceptResponseBlob")) {
      return RPC_E_WRONG_THREAD;
    }
    if (response == nullptr) {
      return Misuse(E_POINTER, L"IEnroll4::acceptResponseBlob without a response");
    }
    // The blob is the binary PKCS #7 and nothing else: a bare certificate is refused, and text
    // is a misuse, since Base64 is what acceptResponse takes. A response cut short is refused
    // like any other that does not decode.
    const std::vector<BYTE> der(response->pbData, response->pbData + response->cbData);
    if (der.empty() || der.front() != 0x30) {
      return Misuse(CRYPT_E_ASN1_BADTAG,
                    L"IEnroll4::acceptResponseBlob with a blob that is not DER");
    }
    return InstallResponse(der, {requestLocation_, myLocation_, caLocation_, rootLocation_},
                           {RootPlacement::RootStore, true, false}, std::wstring());
  }

 private:
  DWORD& LocationOf(Store store) {
    return store == Store::My        ? myLocation_
           : store == Store::Ca      ? caLocation_
           : store == Store::Request ? requestLocation_
                                     : rootLocation_;
  }

  // A key property may be set on the control's thread until the key exists.
  HRESULT Settable(const wchar_t* call) const {
    if (!OnOwnThread(call)) {
      return RPC_E_WRONG_THREAD;
    }
    if (key_) {
      return Misuse(HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED),
                    (std::wstring(call) + L" after createRequestWStr").c_str());
    }
    return S_OK;
  }

  ControlInterface com_;
  DWORD myLocation_ = CERT_SYSTEM_STORE_CURRENT_USER;
  DWORD caLocation_ = CERT_SYSTEM_STORE_CURRENT_USER;
  DWORD rootLocation_ = CERT_SYSTEM_STORE_CURRENT_USER;
  DWORD requestLocation_ = CERT_SYSTEM_STORE_CURRENT_USER;
  DWORD providerFlags_ = 0;
  std::wstring provider_ = MS_DEF_PROV_W;
  DWORD keySpec_ = AT_SIGNATURE;
  DWORD generateFlags_ = 0;
  std::unique_ptr<KeyPair> key_;
  std::vector<void*> strings_;  // the strings binaryBlobToString handed out
};

HRESULT STDMETHODCALLTYPE QueryInterfaceSlot(IEnroll4* self, REFIID iid, void** object) {
  return LegacyEnroll::Of(self)->QueryInterface(iid, object);
}
ULONG STDMETHODCALLTYPE AddRefSlot(IEnroll4* self) {
  return LegacyEnroll::Of(self)->AddRef();
}
ULONG STDMETHODCALLTYPE ReleaseSlot(IEnroll4* self) {
  return LegacyEnroll::Of(self)->Release();
}
HRESULT STDMETHODCALLTYPE PutProviderNameSlot(IEnroll4* self, LPWSTR name) {
  return LegacyEnroll::Of(self)->PutProviderName(name);
}
HRESULT STDMETHODCALLTYPE PutKeySpecSlot(IEnroll4* self, LONG keyType) {
  return LegacyEnroll::Of(self)->PutKeySpec(keyType);
}
HRESULT STDMETHODCALLTYPE PutGenKeyFlagsSlot(IEnroll4* self, LONG flags) {
  return LegacyEnroll::Of(self)->PutGenKeyFlags(flags);
}
HRESULT STDMETHODCALLTYPE PutProviderFlagsSlot(IEnroll4* self, LONG flags) {
  return LegacyEnroll::Of(self)->PutProviderFlags(flags);
}
HRESULT STDMETHODCALLTYPE PutRequestStoreFlagsSlot(IEnroll4* self, LONG flags) {
  return LegacyEnroll::Of(self)->PutStoreFlags(Store::Request, flags);
}
HRESULT STDMETHODCALLTYPE PutMyStoreFlagsSlot(IEnroll4* self, LONG flags) {
  return LegacyEnroll::Of(self)->PutStoreFlags(Store::My, flags);
}
HRESULT STDMETHODCALLTYPE PutCaStoreFlagsSlot(IEnroll4* self, LONG flags) {
  return LegacyEnroll::Of(self)->PutStoreFlags(Store::Ca, flags);
}
HRESULT STDMETHODCALLTYPE PutRootStoreFlagsSlot(IEnroll4* self, LONG flags) {
  return LegacyEnroll::Of(self)->PutStoreFlags(Store::Root, flags);
}
HRESULT STDMETHODCALLTYPE CreateRequestSlot(IEnroll4* self, LONG flags, LPCWSTR subject,
                                            LPCWSTR usage, PCRYPT_DATA_BLOB request) {
  return LegacyEnroll::Of(self)->CreateRequest(flags, subject, usage, request);
}
HRESULT STDMETHODCALLTYPE BinaryToStringSlot(IEnroll4* self, LONG flags, PCRYPT_DATA_BLOB binary,
                                             LPWSTR* text) {
  return LegacyEnroll::Of(self)->BinaryToString(flags, binary, text);
}
HRESULT STDMETHODCALLTYPE AcceptResponseSlot(IEnroll4* self, PCRYPT_DATA_BLOB response) {
  return LegacyEnroll::Of(self)->AcceptResponse(response);
}

IEnroll4Vtbl MakeTable() {
  IEnroll4Vtbl table{};
  table.QueryInterface = QueryInterfaceSlot;
  table.AddRef = AddRefSlot;
  table.Release = ReleaseSlot;
  table.put_ProviderNameWStr = PutProviderNameSlot;
  table.put_KeySpec = PutKeySpecSlot;
  table.put_GenKeyFlags = PutGenKeyFlagsSlot;
  table.put_ProviderFlags = PutProviderFlagsSlot;
  table.put_RequestStoreFlags = PutRequestStoreFlagsSlot;
  table.put_MyStoreFlags = PutMyStoreFlagsSlot;
  table.put_CAStoreFlags = PutCaStoreFlagsSlot;
  table.put_RootStoreFlags = PutRootStoreFlagsSlot;
  table.createRequestWStr = CreateRequestSlot;
  table.binaryBlobToString = BinaryToStringSlot;
  table.acceptResponseBlob = AcceptResponseSlot;
  return table;
}

const IEnroll4Vtbl kTable = MakeTable();

LegacyEnroll::LegacyEnroll() : com_{{const_cast<IEnroll4Vtbl*>(&kTable)}, this} {}

}  // namespace

HRESULT CreateLegacyEnrollObject(REFIID iid, void** object) {
  auto created = std::make_unique<LegacyEnroll>();
  const HRESULT result = created->QueryInterface(iid, object);
  // The creator's reference goes: on success the caller's reference keeps the object.
  created.release()->Release();
  return result;
}

}  // namespace digital_id::stand_in
