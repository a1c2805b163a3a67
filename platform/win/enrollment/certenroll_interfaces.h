#pragma once

// The COM interfaces of the modern enrollment objects, declared here because the cross
// toolchain's headers carry only their enumerations. Each declares its slots in vtable order up
// to the last one this program calls; slots it never calls keep a placeholder name.
#include <windows.h>

#include <oaidl.h>

namespace digital_id::certenroll {

// Values of the enumerations the calls take.
inline constexpr LONG kKeySpecKeyExchange = 1;         // XCN_AT_KEYEXCHANGE
inline constexpr LONG kExportAllowed = 1;              // XCN_NCRYPT_ALLOW_EXPORT_FLAG
inline constexpr LONG kEncodingBase64 = 1;             // XCN_CRYPT_STRING_BASE64
inline constexpr LONG kEncodingBase64Any = 6;          // XCN_CRYPT_STRING_BASE64_ANY
inline constexpr LONG kAllowUntrustedCertificate = 2;  // AllowUntrustedCertificate

// CX509PrivateKey {884E200C-217D-11DA-B2A4-000E7BBB2B09}.
inline constexpr GUID kClsidPrivateKey = {
    0x884E200C, 0x217D, 0x11DA, {0xB2, 0xA4, 0x00, 0x0E, 0x7B, 0xBB, 0x2B, 0x09}};
// IX509PrivateKey {728AB30C-217D-11DA-B2A4-000E7BBB2B09}.
inline constexpr GUID kIidPrivateKey = {
    0x728AB30C, 0x217D, 0x11DA, {0xB2, 0xA4, 0x00, 0x0E, 0x7B, 0xBB, 0x2B, 0x09}};
// CX509CertificateRequestPkcs10 {884E2042-217D-11DA-B2A4-000E7BBB2B09}.
inline constexpr GUID kClsidRequestPkcs10 = {
    0x884E2042, 0x217D, 0x11DA, {0xB2, 0xA4, 0x00, 0x0E, 0x7B, 0xBB, 0x2B, 0x09}};
// IX509CertificateRequestPkcs10 {728AB342-217D-11DA-B2A4-000E7BBB2B09}.
inline constexpr GUID kIidRequestPkcs10 = {
    0x728AB342, 0x217D, 0x11DA, {0xB2, 0xA4, 0x00, 0x0E, 0x7B, 0xBB, 0x2B, 0x09}};
// CX509Enrollment {884E2046-217D-11DA-B2A4-000E7BBB2B09}.
inline constexpr GUID kClsidEnrollment = {
    0x884E2046, 0x217D, 0x11DA, {0xB2, 0xA4, 0x00, 0x0E, 0x7B, 0xBB, 0x2B, 0x09}};
// IX509Enrollment {728AB346-217D-11DA-B2A4-000E7BBB2B09}.
inline constexpr GUID kIidEnrollment = {
    0x728AB346, 0x217D, 0x11DA, {0xB2, 0xA4, 0x00, 0x0E, 0x7B, 0xBB, 0x2B, 0x09}};
// CEnroll {43F8F289-7A20-11D0-8F06-00C04FC295E1}.
inline constexpr GUID kClsidLegacyEnroll = {
    0x43F8F289, 0x7A20, 0x11D0, {0x8F, 0x06, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xE1}};
// IEnroll4 {F8053FE5-78F4-448F-A0DB-41D61B73446B}.
inline constexpr GUID kIidLegacyEnroll4 = {
    0xF8053FE5, 0x78F4, 0x448F, {0xA0, 0xDB, 0x41, 0xD6, 0x1B, 0x73, 0x44, 0x6B}};

// A key pair in the platform's key storage.
struct IX509PrivateKey : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Open() = 0;
  // Generates the key pair with the properties set so far.
  virtual HRESULT STDMETHODCALLTYPE Create() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete() = 0;
  virtual HRESULT STDMETHODCALLTYPE Verify() = 0;
  virtual HRESULT STDMETHODCALLTYPE Import() = 0;
  virtual HRESULT STDMETHODCALLTYPE Export() = 0;
  virtual HRESULT STDMETHODCALLTYPE ExportPublicKey() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ContainerName() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ContainerName() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ContainerNamePrefix() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ContainerNamePrefix() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ReaderName() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ReaderName() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CspInformations() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CspInformations() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CspStatus() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CspStatus() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ProviderName() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ProviderName() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ProviderType() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ProviderType() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LegacyCsp() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LegacyCsp() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Algorithm() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Algorithm() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_KeySpec() = 0;
  // XCN_AT_KEYEXCHANGE or XCN_AT_SIGNATURE.
  virtual HRESULT STDMETHODCALLTYPE put_KeySpec(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Length() = 0;
  // Key length in bits.
  virtual HRESULT STDMETHODCALLTYPE put_Length(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ExportPolicy() = 0;
  // X509PrivateKeyExportFlags.
  virtual HRESULT STDMETHODCALLTYPE put_ExportPolicy(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_KeyUsage() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_KeyUsage() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_KeyProtection() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_KeyProtection() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MachineContext() = 0;
  // VARIANT_TRUE: the key belongs to the computer.
  virtual HRESULT STDMETHODCALLTYPE put_MachineContext(VARIANT_BOOL value) = 0;
};

// Any certificate request.
struct IX509CertificateRequest : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Initialize() = 0;
  virtual HRESULT STDMETHODCALLTYPE Encode() = 0;
  virtual HRESULT STDMETHODCALLTYPE ResetForEncode() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInnerRequest() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Type() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EnrollmentContext() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Silent() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Silent() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ParentWindow() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ParentWindow() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UIContextMessage() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UIContextMessage() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SuppressDefaults() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SuppressDefaults() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RenewalCertificate() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RenewalCertificate() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ClientId() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ClientId() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CspInformations() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CspInformations() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HashAlgorithm() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_HashAlgorithm() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AlternateSignatureAlgorithm() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AlternateSignatureAlgorithm() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RawData() = 0;
};

// A PKCS #10 request.
struct IX509CertificateRequestPkcs10 : public IX509CertificateRequest {
  virtual HRESULT STDMETHODCALLTYPE InitializeFromTemplateName() = 0;
  // Initialises the request for a key in a context (ContextUser 1, ContextMachine 2).
  virtual HRESULT STDMETHODCALLTYPE InitializeFromPrivateKey(LONG context,
                                                             IX509PrivateKey* privateKey,
                                                             BSTR templateName) = 0;
};

// One enrollment: makes the encoded request and installs the response.
struct IX509Enrollment : public IDispatch {
  // Initialises an enrollment for a context, for installing a response.
  virtual HRESULT STDMETHODCALLTYPE Initialize(LONG context) = 0;
  virtual HRESULT STDMETHODCALLTYPE InitializeFromTemplateName() = 0;
  // Initialises an enrollment from a request object.
  virtual HRESULT STDMETHODCALLTYPE InitializeFromRequest(IX509CertificateRequest* request) = 0;
  // The encoded request; records the pending request.
  virtual HRESULT STDMETHODCALLTYPE CreateRequest(LONG encoding, BSTR* request) = 0;
  virtual HRESULT STDMETHODCALLTYPE Enroll() = 0;
  // Installs a response for a pending request.
  virtual HRESULT STDMETHODCALLTYPE InstallResponse(LONG restrictions, BSTR response, LONG encoding,
                                                    BSTR password) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreatePFX() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Request() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Silent() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Silent() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ParentWindow() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ParentWindow() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NameValuePairs() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EnrollmentContext() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Certificate() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Response() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CertificateFriendlyName() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CertificateFriendlyName() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CertificateDescription() = 0;
  // The description the installed certificate carries.
  virtual HRESULT STDMETHODCALLTYPE put_CertificateDescription(BSTR value) = 0;
};

}  // namespace digital_id::certenroll
