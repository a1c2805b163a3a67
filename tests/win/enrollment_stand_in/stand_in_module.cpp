// The in-process server: class objects for the four enrollment classes, their registration
// (done by regsvr32 in a throwaway Wine prefix only), and the checks that run when the process
// ends.
#include <windows.h>

#include <objbase.h>
#include <olectl.h>

#include <memory>
#include <string>
#include <type_traits>

#include "platform/win/enrollment/certenroll_interfaces.h"
#include "tests/win/enrollment_stand_in/allocation_audit.h"
#include "tests/win/enrollment_stand_in/object_factories.h"
#include "tests/win/enrollment_stand_in/object_lifetime.h"

namespace digital_id::stand_in {

namespace {

using Creator = HRESULT (*)(REFIID, void**);

// The class object of one class: a static object without reference counting of its own.
class ClassFactory final : public IClassFactory {
 public:
  constexpr explicit ClassFactory(Creator create) : create_(create) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    *object = nullptr;
    return outer != nullptr ? CLASS_E_NOAGGREGATION : create_(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  Creator create_;
};

constinit ClassFactory privateKeyClass{CreatePrivateKeyObject};
constinit ClassFactory requestClass{CreateRequestObject};
constinit ClassFactory enrollmentClass{CreateEnrollmentObject};
constinit ClassFactory legacyEnrollClass{CreateLegacyEnrollObject};

struct RegisteredClass {
  const GUID& id;
  ClassFactory& factory;
  const wchar_t* name;
};

const RegisteredClass kClasses[] = {
    {certenroll::kClsidPrivateKey, privateKeyClass, L"CX509PrivateKey (enrollment stand-in)"},
    {certenroll::kClsidRequestPkcs10, requestClass,
     L"CX509CertificateRequestPkcs10 (enrollment stand-in)"},
    {certenroll::kClsidEnrollment, enrollmentClass, L"CX509Enrollment (enrollment stand-in)"},
    {certenroll::kClsidLegacyEnroll, legacyEnrollClass, L"CEnroll (enrollment stand-in)"},
};

constinit HMODULE thisModule = nullptr;

struct KeyClose {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyPtr = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyClose>;

std::wstring ClassKey(const GUID& id) {
  wchar_t text[40] = {};
  StringFromGUID2(id, text, 40);
  return std::wstring(L"CLSID\\") + text;
}

// Creates (or opens) a key under HKEY_CLASSES_ROOT and sets its default value.
KeyPtr SetDefaultValue(const std::wstring& path, const std::wstring& value) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw,
                      nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  KeyPtr key(raw);
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  if (RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     bytes) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

bool IsLegacyEnrollInterface(REFIID iid) {
  return IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, certenroll::kIidLegacyEnroll4);
}

}  // namespace digital_id::stand_in

using namespace digital_id::stand_in;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    thisModule = module;
    DisableThreadLibraryCalls(module);
  } else if (reason == DLL_PROCESS_DETACH) {
    // The module is pinned once it serves objects, so this runs as the process ends.
    ReportBlocksNeverFreed();
    ReportObjectsNeverReleased();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID id, REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  for (const RegisteredClass& registered : kClasses) {
    if (IsEqualCLSID(id, registered.id)) {
      // The checking allocator calls into this module until the process ends: it stays loaded.
      HMODULE pinned = nullptr;
      GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(&DllMain), &pinned);
      StartAllocationAudit();
      return registered.factory.QueryInterface(iid, object);
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  return S_FALSE;
}

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(thisModule, path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) {
    return SELFREG_E_CLASS;
  }
  for (const RegisteredClass& registered : kClasses) {
    const std::wstring key = ClassKey(registered.id);
    const KeyPtr server = SetDefaultValue(key + L"\\InprocServer32", path);
    constexpr wchar_t kApartment[] = L"Apartment";
    if (!SetDefaultValue(key, registered.name) || !server ||
        RegSetValueExW(server.get(), L"ThreadingModel", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(kApartment),
                       sizeof kApartment) != ERROR_SUCCESS) {
      return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  for (const RegisteredClass& registered : kClasses) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(registered.id).c_str());
  }
  return S_OK;
}
