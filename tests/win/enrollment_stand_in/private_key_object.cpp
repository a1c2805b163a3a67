// CX509PrivateKey: a key pair in a CryptoAPI key container of the user's or the computer's
// key set, made by Create from the properties set before it.
#include <memory>
#include <string>

#include "platform/win/enrollment/certenroll_interfaces.h"
#include "tests/win/enrollment_stand_in/com_object_macros.h"
#include "tests/win/enrollment_stand_in/misuse_report.h"
#include "tests/win/enrollment_stand_in/object_factories.h"
#include "tests/win/enrollment_stand_in/stand_in_interfaces.h"

namespace digital_id::stand_in {

namespace {

constexpr LONG kExportFlags = 0xF;  // the four XCN_NCRYPT_ALLOW_*EXPORT* flags

class PrivateKeyObject final : public certenroll::IX509PrivateKey,
                               public IStandInKey,
                               private ObjectLifetime {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, certenroll::kIidPrivateKey)) {
      *object = static_cast<certenroll::IX509PrivateKey*>(this);
    } else if (IsEqualIID(iid, kIidStandInKey)) {
      *object = static_cast<IStandInKey*>(this);
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
      const std::unique_ptr<PrivateKeyObject> last(this);
    }
    return left;
  }
  STAND_IN_NO_AUTOMATION

  HRESULT STDMETHODCALLTYPE Create() override {
    if (!OnOwnThread(L"IX509PrivateKey::Create")) {
      return RPC_E_WRONG_THREAD;
    }
    if (pair_) {
      return Misuse(HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED),
                    L"IX509PrivateKey::Create was called twice");
    }
    const DWORD keyType = keySpec_ == 2 ? AT_SIGNATURE : AT_KEYEXCHANGE;
    const DWORD flags = (static_cast<DWORD>(length_) << 16) |
                        ((exportPolicy_ & certenroll::kExportAllowed) != 0 ? CRYPT_EXPORTABLE : 0);
    HRESULT result = S_OK;
    pair_ =
        KeyPair::Generate({MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES, machine_, keyType, flags}, result);
    return result;
  }
  HRESULT STDMETHODCALLTYPE put_KeySpec(LONG value) override {
    if (const HRESULT settable = Settable(L"IX509PrivateKey::put_KeySpec"); FAILED(settable)) {
      return settable;
    }
    if (value < 0 || value > 2) {
      return Misuse(E_INVALIDARG,
                    L"IX509PrivateKey::put_KeySpec with a key type other than AT_KEYEXCHANGE or "
                    L"AT_SIGNATURE");
    }
    keySpec_ = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Length(LONG value) override {
    if (const HRESULT settable = Settable(L"IX509PrivateKey::put_Length"); FAILED(settable)) {
      return settable;
    }
    if (value != 0 && (value < 512 || value > 16384 || value % 8 != 0)) {
      return Misuse(E_INVALIDARG, L"IX509PrivateKey::put_Length with an impossible RSA length");
    }
    length_ = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_ExportPolicy(LONG value) override {
    if (const HRESULT settable = Settable(L"IX509PrivateKey::put_ExportPolicy"); FAILED(settable)) {
      return settable;
    }
    if ((value & ~kExportFlags) != 0) {
      return Misuse(E_INVALIDARG, L"IX509PrivateKey::put_ExportPolicy with unknown flags");
    }
    exportPolicy_ = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_MachineContext(VARIANT_BOOL value) override {
    if (const HRESULT settable = Settable(L"IX509PrivateKey::put_MachineContext");
        FAILED(settable)) {
      return settable;
    }
    if (value != VARIANT_TRUE && value != VARIANT_FALSE) {
      return Misuse(E_INVALIDARG,
                    L"IX509PrivateKey::put_MachineContext with a VARIANT_BOOL other than "
                    L"VARIANT_TRUE or VARIANT_FALSE");
    }
    machine_ = value == VARIANT_TRUE;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE EnsureCreated() override { return pair_ ? S_OK : Create(); }
  KeyPair* STDMETHODCALLTYPE Pair() override { return pair_.get(); }
  bool STDMETHODCALLTYPE Machine() override { return machine_; }

  STAND_IN_UNUSED(Open)
  STAND_IN_UNUSED(Close)
  STAND_IN_UNUSED(Delete)
  STAND_IN_UNUSED(Verify)
  STAND_IN_UNUSED(Import)
  STAND_IN_UNUSED(Export)
  STAND_IN_UNUSED(ExportPublicKey)
  STAND_IN_UNUSED(get_ContainerName)
  STAND_IN_UNUSED(put_ContainerName)
  STAND_IN_UNUSED(get_ContainerNamePrefix)
  STAND_IN_UNUSED(put_ContainerNamePrefix)
  STAND_IN_UNUSED(get_ReaderName)
  STAND_IN_UNUSED(put_ReaderName)
  STAND_IN_UNUSED(get_CspInformations)
  STAND_IN_UNUSED(put_CspInformations)
  STAND_IN_UNUSED(get_CspStatus)
  STAND_IN_UNUSED(put_CspStatus)
  STAND_IN_UNUSED(get_ProviderName)
  STAND_IN_UNUSED(put_ProviderName)
  STAND_IN_UNUSED(get_ProviderType)
  STAND_IN_UNUSED(put_ProviderType)
  STAND_IN_UNUSED(get_LegacyCsp)
  STAND_IN_UNUSED(put_LegacyCsp)
  STAND_IN_UNUSED(get_Algorithm)
  STAND_IN_UNUSED(put_Algorithm)
  STAND_IN_UNUSED(get_KeySpec)
  STAND_IN_UNUSED(get_Length)
  STAND_IN_UNUSED(get_ExportPolicy)
  STAND_IN_UNUSED(get_KeyUsage)
  STAND_IN_UNUSED(put_KeyUsage)
  STAND_IN_UNUSED(get_KeyProtection)
  STAND_IN_UNUSED(put_KeyProtection)
  STAND_IN_UNUSED(get_MachineContext)

 private:
  // A property may be set on the object's thread until the key exists.
  HRESULT Settable(const wchar_t* call) const {
    if (!OnOwnThread(call)) {
      return RPC_E_WRONG_THREAD;
    }
    if (pair_) {
      return Misuse(HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED),
                    (std::wstring(call) + L" after Create").c_str());
    }
    return S_OK;
  }

  LONG length_ = 0;  // the provider's default
  LONG keySpec_ = 0;
  LONG exportPolicy_ = 0;
  bool machine_ = false;
  std::unique_ptr<KeyPair> pair_;
};

}  // namespace

HRESULT CreatePrivateKeyObject(REFIID iid, void** object) {
  auto created = std::make_unique<PrivateKeyObject>();
  const HRESULT result = created->QueryInterface(iid, object);
  // The creator's reference goes: on success the caller's reference keeps the object.
  created.release()->Release();
  return result;
}

}  // namespace digital_id::stand_in
