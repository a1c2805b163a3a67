#include "platform/win/enrollment/win_enrollment_objects.h"

#include <windows.h>

#include <oleauto.h>
#include <wincrypt.h>
#include <xenroll.h>

#include <memory>
#include <string>

#include "base/latin1_text.h"
#include "platform/win/enrollment/certenroll_interfaces.h"
#include "platform/win/stores/context_flags.h"
#include "platform/win/system/com_ptr.h"
#include "platform/win/wide_text.h"

namespace digital_id {

namespace {

using namespace certenroll;

// Frees an OLE Automation string.
struct BStringFree {
  void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using BStringPtr = std::unique_ptr<OLECHAR, BStringFree>;

BStringPtr MakeBString(std::u16string_view text) {
  const std::wstring wide = ToWide(text);
  return BStringPtr(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

// Frees memory the enrollment control allocated with the COM task allocator.
struct TaskMemFree {
  void operator()(BYTE* data) const { CoTaskMemFree(data); }
};

template <typename Interface>
HRESULT Create(const GUID& classId, const GUID& interfaceId, ComPtr<Interface>& object) {
  return CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, interfaceId,
                          object.ReceiveVoid());
}

constexpr wchar_t kCertificateDescription[] = L"Brivellan Certificate";
constexpr wchar_t kLegacyProvider[] = L"Microsoft Enhanced Cryptographic Provider v1.0";
// The length in bits of every key pair made for a request, on both paths.
constexpr LONG kKeyBits = 2048;

// Puts everything of the legacy control in the context's location: the key set of the key, the
// REQUEST store where the pending request waits, and the three stores of the installation. The
// control's defaults are the user's, so in the machine context the certificate would otherwise
// reach the machine's My store without a key that the machine's services can use.
void PlaceLegacyControl(IEnroll4& enroll, EnrollmentContext context) {
  const auto storeFlags = static_cast<LONG>(SystemStoreFlag(context));
  enroll.put_ProviderFlags(static_cast<LONG>(KeySetFlag(context)));
  enroll.put_RequestStoreFlags(storeFlags);
  enroll.put_CAStoreFlags(storeFlags);
  enroll.put_MyStoreFlags(storeFlags);
  enroll.put_RootStoreFlags(storeFlags);
}

// The DER bytes of a Base64 response, with or without header lines; empty when it does not
// decode. The control's blob call takes the binary PKCS #7, not its text.
std::string DecodedResponse(const std::string& text) {
  DWORD size = 0;
  if (text.empty() ||
      CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64_ANY,
                           nullptr, &size, nullptr, nullptr) == FALSE) {
    return {};
  }
  std::string der(size, '\0');
  if (CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64_ANY,
                           reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr) == FALSE) {
    return {};
  }
  der.resize(size);
  return der;
}

std::u16string ModernRequest(EnrollmentContext context) {
  ComPtr<IX509PrivateKey> key;
  if (FAILED(Create(kClsidPrivateKey, kIidPrivateKey, key))) {
    return {};
  }
  // The results of the single calls are not looked at: only a returned request counts.
  key->put_Length(kKeyBits);
  key->put_KeySpec(kKeySpecKeyExchange);
  key->put_MachineContext(context == EnrollmentContext::Machine ? VARIANT_TRUE : VARIANT_FALSE);
  key->put_ExportPolicy(kExportAllowed);
  key->Create();

  ComPtr<IX509CertificateRequestPkcs10> request;
  if (FAILED(Create(kClsidRequestPkcs10, kIidRequestPkcs10, request))) {
    return {};
  }
  request->InitializeFromPrivateKey(X509EnrollmentContext(context), key.Get(), nullptr);

  ComPtr<IX509Enrollment> enrollment;
  if (FAILED(Create(kClsidEnrollment, kIidEnrollment, enrollment))) {
    return {};
  }
  const BStringPtr description(SysAllocString(kCertificateDescription));
  enrollment->put_CertificateDescription(description.get());
  enrollment->InitializeFromRequest(request.Get());
  BSTR rawEncoded = nullptr;
  enrollment->CreateRequest(kEncodingBase64, &rawEncoded);
  const BStringPtr encoded(rawEncoded);
  std::u16string result;
  if (encoded) {
    result = FromWide(std::wstring_view(encoded.get(), SysStringLen(encoded.get())));
  }
  // Released in this order: enrollment, key, request.
  enrollment.Reset();
  key.Reset();
  request.Reset();
  return result;
}

std::u16string LegacyRequest(EnrollmentContext context) {
  ComPtr<IEnroll4> enroll;
  if (FAILED(Create(kClsidLegacyEnroll, kIidLegacyEnroll4, enroll))) {
    return {};
  }
  std::wstring provider = kLegacyProvider;
  enroll->put_ProviderNameWStr(provider.data());
  enroll->put_KeySpec(AT_KEYEXCHANGE);
  // The key's length goes in the upper 16 bits: without it the provider would make its default,
  // a 1024-bit key, which is too short to be trusted today.
  enroll->put_GenKeyFlags((kKeyBits << 16) | CRYPT_EXPORTABLE);
  PlaceLegacyControl(*enroll.Get(), context);
  CRYPT_DATA_BLOB blob{};
  enroll->createRequestWStr(XECR_PKCS10_V2_0, L"", L"", &blob);
  const std::unique_ptr<BYTE, TaskMemFree> blobData(blob.pbData);
  LPWSTR text = nullptr;
  if (blob.pbData != nullptr) {
    enroll->binaryBlobToString(CRYPT_STRING_BASE64, &blob, &text);
  }
  // The documentation of binaryBlobToString names no allocator for the string (that of
  // createRequestWStr names CoTaskMemFree for the blob, which blobData frees), so the string is
  // left to the control and copied here, before the control is released. Should the control
  // never free it, one string per enrollment stays allocated: the Base64 text of one request,
  // about two kilobytes for a 2048-bit key.
  return text != nullptr ? FromWide(std::wstring_view(text)) : std::u16string();
}

std::int32_t ModernInstall(EnrollmentContext context, const std::u16string& response) {
  ComPtr<IX509Enrollment> enrollment;
  const HRESULT created = Create(kClsidEnrollment, kIidEnrollment, enrollment);
  if (FAILED(created)) {
    return created;
  }
  const BStringPtr description(SysAllocString(kCertificateDescription));
  enrollment->put_CertificateDescription(description.get());
  enrollment->Initialize(X509EnrollmentContext(context));
  const BStringPtr responseText = MakeBString(response);
  const BStringPtr password(SysAllocString(L""));
  return enrollment->InstallResponse(kAllowUntrustedCertificate, responseText.get(),
                                     kEncodingBase64Any, password.get());
}

std::int32_t LegacyInstall(EnrollmentContext context, const std::u16string& response) {
  ComPtr<IEnroll4> enroll;
  const HRESULT created = Create(kClsidLegacyEnroll, kIidLegacyEnroll4, enroll);
  if (FAILED(created)) {
    return created;
  }
  PlaceLegacyControl(*enroll.Get(), context);
  // One byte per UTF-16 code unit (its low 8 bits), then the bytes the Base64 text stands for.
  std::string der = DecodedResponse(Narrow(response));
  if (der.empty()) {
    return CRYPT_E_ASN1_BADTAG;
  }
  CRYPT_DATA_BLOB blob{};
  blob.cbData = static_cast<DWORD>(der.size());
  blob.pbData = reinterpret_cast<BYTE*>(der.data());
  return enroll->acceptResponseBlob(&blob);
}

}  // namespace

std::u16string WinEnrollmentObjects::CreateRequest(EnrollmentPath path, EnrollmentContext context) {
  return path == EnrollmentPath::Modern ? ModernRequest(context) : LegacyRequest(context);
}

std::int32_t WinEnrollmentObjects::InstallResponse(EnrollmentPath path, EnrollmentContext context,
                                                   const std::u16string& response) {
  return path == EnrollmentPath::Modern ? ModernInstall(context, response)
                                        : LegacyInstall(context, response);
}

}  // namespace digital_id
